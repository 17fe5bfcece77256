#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ipc_test {

// Runs this thread's messages until `done` is true or the time is up; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
  ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    DWORD left = static_cast<DWORD>(deadline - now);
    ::MsgWaitForMultipleObjectsEx(0, nullptr, left < 50 ? left : 50, QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
  }
}

// A name no other test process uses at the same time.
inline std::wstring UniqueName(const wchar_t* what) {
  static int counter = 0;
  return std::wstring(L"test-") + what + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter);
}

// Bytes placed so that the first byte past them is an inaccessible page: any read beyond the
// buffer faults at once instead of going unnoticed.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(const std::vector<char>& bytes) {
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    size_t page = si.dwPageSize;
    size_t pages = (bytes.size() + page - 1) / page + 1;
    base_ = static_cast<char*>(
        ::VirtualAlloc(nullptr, pages * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    ::VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + (pages - 1) * page - bytes.size();
    if (!bytes.empty()) memcpy(data_, bytes.data(), bytes.size());
    size_ = bytes.size();
  }
  ~GuardedBuffer() { ::VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;
  const char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  char* base_ = nullptr;
  char* data_ = nullptr;
  size_t size_ = 0;
};

inline void PutU32(std::vector<char>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline uint32_t GetU32(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<uint32_t>(u[3]) << 24);
}

}  // namespace ipc_test
