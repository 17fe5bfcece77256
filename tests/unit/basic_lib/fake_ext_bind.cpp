// Stand-in for the association library: each export appends one line to the file named by the
// environment variable LUMORA_EXTBIND_LOG. IsAssociationOK is deliberately missing.
#include <windows.h>

#include <cstdio>

namespace {
void Record(const wchar_t* line) {
  wchar_t path[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"LUMORA_EXTBIND_LOG", path, MAX_PATH)) return;
  FILE* f = _wfopen(path, L"ab");
  if (!f) return;
  fprintf(f, "%ls\n", line);
  fclose(f);
}
}  // namespace

extern "C" {
__declspec(dllexport) int WINAPI SetDefaultImageViewer(int value) {
  wchar_t line[64];
  swprintf(line, 64, L"SetDefaultImageViewer %d", value);
  Record(line);
  return 1;
}

__declspec(dllexport) int WINAPI UnInstall(HKEY root) {
  wchar_t line[64];
  swprintf(line, 64, L"UnInstall %lx",
           static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(root)));
  Record(line);
  return 1;
}

__declspec(dllexport) int WINAPI SetAssociation(const wchar_t* text) {
  wchar_t line[512];
  swprintf(line, 512, L"SetAssociation %ls", text ? text : L"(null)");
  Record(line);
  return 1;
}
}
