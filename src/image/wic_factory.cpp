#include "image/wic_factory.h"

#include <mutex>

namespace image {
namespace {
std::mutex g_factory_lock;
basic_lib::ComPtr<IWICImagingFactory> g_factory;
}  // namespace

HRESULT CreateSharedWicFactory() {
  basic_lib::ComPtr<IWICImagingFactory> factory;
  HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&factory));
  SetSharedWicFactory(SUCCEEDED(hr) ? factory.Get() : nullptr);
  return hr;
}

void SetSharedWicFactory(IWICImagingFactory* factory) {
  basic_lib::ComPtr<IWICImagingFactory> old;
  {
    std::lock_guard<std::mutex> hold(g_factory_lock);
    old = g_factory;
    g_factory = factory;
  }
}

basic_lib::ComPtr<IWICImagingFactory> GetSharedWicFactory() {
  std::lock_guard<std::mutex> hold(g_factory_lock);
  return g_factory;
}

}  // namespace image
