#pragma once

#include <string>

// Format id of a file, decided by its extension alone. The numbers are stored values: 10 and 11
// keep theirs although 12-15 are searched before them.
enum class ImageFormat : int {
  None = 0,
  Bmp = 1,
  Jpeg = 2,
  Gif = 3,
  Tiff = 4,
  Png = 5,
  Ico = 6,
  Psd = 7,
  Tga = 8,
  Oxo = 9,
  Raw = 10,
  Other = 11,
  Wmf = 12,
  Emf = 13,
  Jng = 14,
  J2c = 15,
};

// Full path or bare file name; never touches the file. Thread-safe.
ImageFormat GetImageFormat(const std::wstring& path);
ImageFormat GetImageFormat(const wchar_t* path);

inline bool IsViewableFormat(ImageFormat id) { return id != ImageFormat::None; }
// The formats the imaging component encodes and the thumbnail cache serves.
bool IsSystemFormat(ImageFormat id);

// The group string of a format (",jpg,jpeg,jfif,jpe," for Jpeg); empty for None.
const wchar_t* GetFormatExtensionList(ImageFormat id);

// Open dialog filter, "%s" already replaced by the localised "supported files" text.
std::wstring BuildOpenDialogFilter(const std::wstring& support_text);
// The pattern template of the open dialog (string resource 500).
extern const wchar_t kOpenDialogFilterTemplate[];

extern const wchar_t kSaveDialogFilter[];
extern const wchar_t kSaveDialogDefaultExtension[];
// 1-based filter index chosen in the save dialog -> extension with its dot.
const wchar_t* SaveFilterIndexToExtension(int filter_index);
