#pragma once

#include <wincodec.h>

#include <vector>

#include "basic_lib/com_ptr.h"

namespace image {

// EXIF orientation (1-8) to the flip/rotate of the source that shows it upright; none otherwise.
WICBitmapTransformOptions OrientationToTransform(int orientation);
// Quarter turns (the lowest bit) exchange width and height.
inline bool TransformSwapsAxes(WICBitmapTransformOptions t) { return (t & 1) != 0; }
// One quarter turn of the orientation value along its cycle; 0 counts as 1.
int RotateOrientation(int orientation, bool clockwise);
// Older systems ignore the tag unless the user asked for it.
int ApplyOrientationPolicy(int orientation, bool windows8_or_later, bool orientation_by_tag);

// Flip/rotate of tightly or loosely packed 32 bpp pixels with WIC's meaning of the options: the
// flips act on the source, then the picture turns clockwise. dst gets dst_w * 4 byte rows.
bool TransformPixels32(const BYTE* src, UINT width, UINT height, UINT src_stride,
                       WICBitmapTransformOptions transform, std::vector<BYTE>* dst, UINT* dst_w,
                       UINT* dst_h);

// The source flipped/rotated and materialised as an in-memory bitmap. When the system rotator
// cannot produce pixels (Wine: E_NOTIMPL for quarter turns) the pixels are turned here; when
// nothing works the source itself comes back.
basic_lib::ComPtr<IWICBitmapSource> ApplyOrientationTransform(IWICImagingFactory* factory,
                                                              IWICBitmapSource* source,
                                                              WICBitmapTransformOptions transform);

// Colour transform from the image's profile to sRGB, output 32bppBGRA; the untransformed source
// on any failure.
basic_lib::ComPtr<IWICBitmapSource> ApplySrgbTransform(IWICImagingFactory* factory,
                                                       IWICBitmapSource* source,
                                                       IWICColorContext* context);

// Largest pixel buffer the WIC copy calls can address (their size argument is 32-bit).
bool FitsPixelBuffer(UINT width, UINT height, UINT bytes_per_pixel);

}  // namespace image
