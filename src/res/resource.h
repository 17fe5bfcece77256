// Resource ids shared by the .rc files and the code.
#pragma once

#define IDI_LUMORA 128
#define IDR_ACCELERATORS 128
#define IDD_MAIN 102

#define IDC_CAPTION_TEXT 1025
#define IDC_BUTTON_CLOSE 1023
#define IDC_BUTTON_MAXIMIZE 1026
#define IDC_BUTTON_MINIMIZE 1027
#define IDC_BUTTON_FULLSCREEN 1029

// Caption-button strips, resource type "PNG": three 30x30 frames each.
#define IDP_CAPTION_CLOSE 154
#define IDP_CAPTION_MAXIMIZE 155
#define IDP_CAPTION_MINIMIZE 157
#define IDP_CAPTION_RESTORE 163
#define IDP_CAPTION_FULLSCREEN 166

// The open dialog's filter template ("%s" stands for the localised "supported files" text).
#define IDS_OPEN_FILTER 500

#define LUMORA_VERSION_MAJOR 1
#define LUMORA_VERSION_MINOR 0
#define LUMORA_VERSION_PATCH 0
#define LUMORA_VERSION_BUILD 1
#define LUMORA_VERSION_TEXT "1.0.0.1"
