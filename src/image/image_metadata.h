#pragma once

#include <wincodec.h>

#include <string>

// Camera and file information of the shown frame, already as display texts. Missing or
// unreadable values stay empty (or 0).
struct ImageMetadata {
  std::wstring date_taken;        // EXIF 36867
  int orientation = 0;            // main 274, 1-8; 0 when absent or not a valid short
  std::wstring gps;               // "lat,lon" with "%f", or empty
  int resolution = 0;             // horizontal dpi of the frame, rounded
  std::wstring maker;             // 271
  std::wstring model;             // 272
  std::wstring lens;              // EXIF 42036
  std::wstring f_number;          // EXIF 33437, "%.1f"
  std::wstring max_aperture;      // EXIF 37381, "%.1f"
  std::wstring exposure_time;     // EXIF 33434, "num/den" unreduced
  std::wstring iso;               // EXIF 34855
  std::wstring focal_length;      // EXIF 37386, "%.1f"
  std::wstring metering_mode;     // EXIF 37383
  std::wstring flash;             // EXIF 37385
  std::wstring white_balance;     // EXIF 41987
  std::wstring exposure_program;  // EXIF 34850
};

namespace image {

// Fills *info from a query reader that answers JPEG-style "/app1/ifd/..." paths (the system's
// frame reader or our own EXIF reader). dpi_x is the frame's horizontal resolution. A null
// reader leaves the record as it is; no read failure is ever reported.
void ReadMetadata(IWICMetadataQueryReader* reader, double dpi_x, ImageMetadata* info);

// The frame's own query reader plus its resolution; nothing is read when the frame has no
// reader.
void ReadFrameMetadata(IWICBitmapFrameDecode* frame, IWICMetadataQueryReader* reader,
                       ImageMetadata* info);

// Formatting rules, exposed for the information panel and tests.
std::wstring PropVariantToText(const PROPVARIANT& value);
std::wstring PropVariantToShortText(const PROPVARIANT& value);
std::wstring PropVariantToRationalText(const PROPVARIANT& value);
std::wstring PropVariantToFractionText(const PROPVARIANT& value);

}  // namespace image
