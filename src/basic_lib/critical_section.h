#pragma once

#include <windows.h>

namespace basic_lib {

// Owns one CRITICAL_SECTION for its lifetime.
class CCriticalSection {
 public:
  CCriticalSection() { ::InitializeCriticalSection(&cs_); }
  ~CCriticalSection() { ::DeleteCriticalSection(&cs_); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter() { ::EnterCriticalSection(&cs_); }
  void Leave() { ::LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION cs_;
};

class CScopedLock {
 public:
  explicit CScopedLock(CCriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~CScopedLock() { cs_.Leave(); }
  CScopedLock(const CScopedLock&) = delete;
  CScopedLock& operator=(const CScopedLock&) = delete;

 private:
  CCriticalSection& cs_;
};

}  // namespace basic_lib
