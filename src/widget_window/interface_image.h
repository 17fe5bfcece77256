#pragma once

#include <windows.h>

#include <string>

#include "image/obj_image.h"

namespace widget_window {

// The folder of the loose interface images: "resources\" beside the executable.
std::wstring GetInterfaceImageFolder();

// Reads an interface image with GDI+ into a bottom-up 32 bpp image, premultiplied unless
// `straight_alpha`. A file that cannot be read leaves `image` empty and returns false. GDI+
// must have been started by the caller.
bool LoadInterfaceImage(const std::wstring& file_name, FCObjImage* image,
                        bool straight_alpha = false);
// The same for a full path.
bool LoadImageFileWithGdiplus(const std::wstring& path, FCObjImage* image, bool straight_alpha);

// Starts GDI+ for the lifetime of the object (tests and tools; the application starts its own).
class CGdiplusScope {
 public:
  CGdiplusScope();
  ~CGdiplusScope();
  CGdiplusScope(const CGdiplusScope&) = delete;
  CGdiplusScope& operator=(const CGdiplusScope&) = delete;
  bool IsStarted() const { return token_ != 0; }

 private:
  ULONG_PTR token_ = 0;
};

}  // namespace widget_window
