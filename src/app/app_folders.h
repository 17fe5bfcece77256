#pragma once

#include <string>

namespace app {

// The per-user data folder "<AppData>\Lumora\" (trailing backslash), computed once. Tests point
// it at a temporary folder with SetDataFolderOverride before anything uses it (an empty text
// returns to the real folder). Empty when the system gives no application-data folder.
std::wstring GetDataFolder();
void SetDataFolderOverride(const std::wstring& folder);

// The temporary folder (data folder + "temp\"), or its sub-folder `name` + "\".
std::wstring GetTempFolder(const std::wstring& name = std::wstring());
std::wstring GetCrashFolder();  // temporary folder + "crash\"
std::wstring GetConfigPath();   // data folder + "config.ini"

// Creates the data, temporary and crash folders that are missing (failures are ignored).
void EnsureFolders();
// Deletes "tempprint.jpg" and keeps the ten crash dumps with the greatest names.
void CleanUpAtExit();
// Removes the data folder with all its contents, permanently and silently.
bool DeleteDataFolder();

}  // namespace app
