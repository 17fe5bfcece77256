#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "basic_lib/critical_section.h"

namespace basic_lib {

namespace detail {
// One process-wide lock under which each singleton type creates its own creation lock. It is an
// SRW lock so that it is usable during static initialisation without a constructor.
void LockSingletonRegistry();
void UnlockSingletonRegistry();
}  // namespace detail

// Lazily created process-wide object: the first Instance() creates T (default constructor) under
// a per-type lock with a second check inside, so concurrent first calls create it once. Destroy()
// ends it explicitly (application exit); a later Instance() would create a fresh one.
template <typename T>
class CSingletonT {
 public:
  static T& Instance() {
    T* p = instance_.load(std::memory_order_acquire);
    if (p) return *p;
    CScopedLock guard(CreationLock());
    p = instance_.load(std::memory_order_relaxed);
    if (!p) {
      owner_ = std::make_unique<T>();
      p = owner_.get();
      instance_.store(p, std::memory_order_release);
    }
    return *p;
  }

  static bool Exists() { return instance_.load(std::memory_order_acquire) != nullptr; }

  static void Destroy() {
    std::unique_ptr<T> doomed;
    {
      CScopedLock guard(CreationLock());
      instance_.store(nullptr, std::memory_order_release);
      doomed = std::move(owner_);
    }
    // Destroyed outside the lock: a destructor may itself use other singletons.
  }

 private:
  static CCriticalSection& CreationLock() {
    CCriticalSection* lock = lock_.load(std::memory_order_acquire);
    if (lock) return *lock;
    detail::LockSingletonRegistry();
    lock = lock_.load(std::memory_order_relaxed);
    if (!lock) {
      lock_owner_ = std::make_unique<CCriticalSection>();
      lock = lock_owner_.get();
      lock_.store(lock, std::memory_order_release);
    }
    detail::UnlockSingletonRegistry();
    return *lock;
  }

  static inline std::atomic<T*> instance_{nullptr};
  static inline std::unique_ptr<T> owner_;
  static inline std::atomic<CCriticalSection*> lock_{nullptr};
  static inline std::unique_ptr<CCriticalSection> lock_owner_;
};

}  // namespace basic_lib
