#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace crash {

// The code written over the start of the system's SetUnhandledExceptionFilter so that nobody
// replaces our filter later: "xor eax,eax; ret 4" on 32-bit, "xor eax,eax; ret" on 64-bit.
std::vector<uint8_t> FilterPatchBytes();

// Writes `bytes` over code at `target`: made writable, written, protection restored, instruction
// cache flushed. False (and nothing written) when the page cannot be made writable.
bool PatchCode(void* target, const std::vector<uint8_t>& bytes);

// Where the crash reporter is looked for, in order: the executable's folder, its "Support"
// sub-folder, the parent folder, the parent's "Support", the grandparent. `exe_folder` ends with
// a backslash; so do the folders of the results.
std::vector<std::wstring> FaultSenderCandidates(const std::wstring& exe_folder);

// "--pep=%llu --pid=%d --tid=%d --src=%s --ver=%s --rep=%d"
std::wstring FormatFaultSenderParameters(uint64_t exception_address, DWORD process_id,
                                         DWORD thread_id, const std::wstring& source,
                                         const std::wstring& version, int report);

// The executable's version resource as "%d.%d.%d.%d"; empty without one.
std::wstring ReadFileVersionText(const std::wstring& path);

// Records the crash identity and the reporter's candidates, sets our filter, then patches the
// system entry point. False when the patch could not be written (the filter is still set).
bool InstallCrashFilter(const std::wstring& exe_folder, const std::wstring& source,
                        const std::wstring& version, int report);

}  // namespace crash
