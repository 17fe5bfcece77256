#pragma once

#include <gdiplus.h>
#include <gtest/gtest.h>
#include <wincodec.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "basic_lib/com_ptr.h"
#include "image/wic_factory.h"

namespace image_test {

// COM, the shared imaging factory and GDI+ for the whole test program, as start-up makes them.
class ImagingEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(image::CreateSharedWicFactory()));
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&gdiplus_token_, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override {
    image::SetSharedWicFactory(nullptr);
    Gdiplus::GdiplusShutdown(gdiplus_token_);
    ::CoUninitialize();
  }

 private:
  ULONG_PTR gdiplus_token_ = 0;
};

// A fresh folder under LUMORA_TEST_TMP (a Linux path, seen as Z:\...).
inline std::wstring MakeTempFolder(const wchar_t* name) {
  const char* root = std::getenv("LUMORA_TEST_TMP");
  std::wstring base;
  if (root && *root) {
    base = L"Z:";
    for (const char* p = root; *p; ++p) base += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
  } else {
    wchar_t tmp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tmp);
    base = tmp;
  }
  std::wstring dir = base + L"\\" + name + L"-" + std::to_wstring(::GetCurrentProcessId());
  ::CreateDirectoryW(base.c_str(), nullptr);
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

inline bool WriteFileBytes(const std::wstring& path, const void* data, size_t size) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr);
  ::CloseHandle(f);
  return ok && written == size;
}

// Pixels of a bitmap as 0x00RRGGBB, top row first.
inline std::vector<DWORD> ReadPixels(HBITMAP bitmap, int* width, int* height) {
  BITMAP header = {};
  std::vector<DWORD> pixels;
  if (!bitmap || !::GetObjectW(bitmap, sizeof(header), &header)) return pixels;
  *width = header.bmWidth;
  *height = header.bmHeight < 0 ? -header.bmHeight : header.bmHeight;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = -*height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  pixels.resize(static_cast<size_t>(*width) * *height);
  HDC dc = ::GetDC(nullptr);
  const int rows = ::GetDIBits(dc, bitmap, 0, *height, pixels.data(), &info, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, dc);
  if (rows != *height) pixels.clear();
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

// Channels within tolerance (scalers and converters may round).
inline bool Near(DWORD a, DWORD b, int tolerance = 8) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int x = static_cast<int>((a >> shift) & 0xFF), y = static_cast<int>((b >> shift) & 0xFF);
    if (x - y > tolerance || y - x > tolerance) return false;
  }
  return true;
}

// A WIC bitmap of 32bpp pixels given as 0xAARRGGBB values, row by row.
inline basic_lib::ComPtr<IWICBitmap> MakeBitmap(
    UINT w, UINT h, const std::vector<DWORD>& argb,
    REFWICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA) {
  basic_lib::ComPtr<IWICBitmap> bitmap;
  auto factory = image::GetSharedWicFactory();
  std::vector<DWORD> copy = argb;
  if (!factory || FAILED(factory->CreateBitmapFromMemory(
                      w, h, format, w * 4, static_cast<UINT>(copy.size() * 4),
                      reinterpret_cast<BYTE*>(copy.data()), &bitmap))) {
    return nullptr;
  }
  return bitmap;
}

}  // namespace image_test
