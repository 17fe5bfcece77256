#pragma once

#include <string>

namespace basic_lib {

// Folder of the running executable, with a trailing backslash. Tests point it elsewhere with
// SetExeFolderOverride (an empty text returns to the real folder).
std::wstring GetExeFolder();
void SetExeFolderOverride(const std::wstring& folder);

// Appends a backslash unless the text already ends with one (or with a slash).
std::wstring WithTrailingBackslash(std::wstring path);
std::wstring WithoutTrailingBackslash(std::wstring path);

bool PathExists(const std::wstring& path);  // file or folder
bool FileExists(const std::wstring& path);  // not a folder
bool FolderExists(const std::wstring& path);

// The shell's rule: from the last dot of the last path component, dot included; empty when none.
std::wstring FindExtension(const std::wstring& path);
// Removes one pair of surrounding double quotes.
std::wstring UnquotePath(const std::wstring& path);
// Drive roots ("C:\", "\\server\share\") and empty paths; never to be deleted wholesale.
bool IsRootOrEmptyPath(const std::wstring& path);

}  // namespace basic_lib
