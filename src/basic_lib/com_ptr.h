#pragma once

// Reference-counted COM pointer used throughout: the platform's own ComPtr.
#include <wrl/client.h>

namespace basic_lib {
template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

// CoInitializeEx/CoUninitialize for the lifetime of a scope (only uninitialises on success).
class ScopedComInit {
 public:
  explicit ScopedComInit(DWORD model = COINIT_APARTMENTTHREADED)
      : hr_(::CoInitializeEx(nullptr, model)) {}
  ~ScopedComInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;
  HRESULT Result() const { return hr_; }

 private:
  HRESULT hr_;
};
}  // namespace basic_lib
