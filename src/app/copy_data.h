#pragma once

#include <windows.h>

#include <string>

// The longest hand-over text accepted (characters): a full command line.
constexpr size_t kMaxHandOverChars = 32768;

// Reads the UTF-16 text of a hand-over request. Only the cbData bytes are read (a sender may
// leave out the terminator); the text ends at the first zero inside them. False for a null
// pointer or a text over kMaxHandOverChars.
bool ReadCopyDataText(const COPYDATASTRUCT* data, std::wstring* text);
