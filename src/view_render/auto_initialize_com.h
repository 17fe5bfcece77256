#pragma once

#include <objbase.h>

// Single-threaded apartment for the lifetime of a scope; uninitialises only what it initialised.
class FCAutoInitializeCOM {
 public:
  FCAutoInitializeCOM() : result_(::CoInitialize(nullptr)) {}
  ~FCAutoInitializeCOM() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  FCAutoInitializeCOM(const FCAutoInitializeCOM&) = delete;
  FCAutoInitializeCOM& operator=(const FCAutoInitializeCOM&) = delete;
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};
