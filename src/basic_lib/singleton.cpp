#include "basic_lib/singleton.h"

namespace basic_lib {
namespace detail {
namespace {
SRWLOCK g_registry_lock = SRWLOCK_INIT;
}  // namespace

void LockSingletonRegistry() { ::AcquireSRWLockExclusive(&g_registry_lock); }
void UnlockSingletonRegistry() { ::ReleaseSRWLockExclusive(&g_registry_lock); }
}  // namespace detail
}  // namespace basic_lib
