#include "image/image_metadata.h"

#include <propidl.h>
#include <windows.h>

#include <cwchar>

namespace image {
namespace {

// Owns one PROPVARIANT read from the reader.
class ScopedPropVariant {
 public:
  ScopedPropVariant() { ::PropVariantInit(&value_); }
  ~ScopedPropVariant() { ::PropVariantClear(&value_); }
  ScopedPropVariant(const ScopedPropVariant&) = delete;
  ScopedPropVariant& operator=(const ScopedPropVariant&) = delete;
  PROPVARIANT* Receive() {
    ::PropVariantClear(&value_);
    return &value_;
  }
  const PROPVARIANT& Get() const { return value_; }

 private:
  PROPVARIANT value_;
};

enum class Directory { kMain, kExif, kGps };

bool Query(IWICMetadataQueryReader* reader, Directory dir, int tag, ScopedPropVariant* out) {
  const wchar_t* pattern = dir == Directory::kMain   ? L"/app1/ifd/{ushort=%d}"
                           : dir == Directory::kExif ? L"/app1/ifd/exif/{ushort=%d}"
                                                     : L"/app1/ifd/gps/{ushort=%d}";
  wchar_t path[64];
  std::swprintf(path, 64, pattern, tag);
  return SUCCEEDED(reader->GetMetadataByName(path, out->Receive()));
}

// The ANSI code page conversion, bounded to what the reader gave us.
std::wstring FromAnsi(const char* text) {
  if (!text) return std::wstring();
  const size_t length = ::strnlen(text, 65536);
  if (length == 0) return std::wstring();
  const int n = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring result(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), &result[0], n);
  return result;
}

std::wstring Format(const wchar_t* pattern, double value) {
  wchar_t buffer[64];
  std::swprintf(buffer, 64, pattern, value);
  return buffer;
}

float RationalToFloat(ULONGLONG packed) {
  const UINT numerator = static_cast<UINT>(packed & 0xFFFFFFFFu);
  const UINT denominator = static_cast<UINT>(packed >> 32);
  if (denominator == 0) return 0.0f;
  return static_cast<float>(numerator) / static_cast<float>(denominator);
}

// Degrees, minutes, seconds as three unsigned rationals; anything else of a present value is 0.
float CoordinateFrom(const PROPVARIANT& value) {
  if (value.vt != (VT_VECTOR | VT_UI8) || value.cauh.cElems < 3 || !value.cauh.pElems) return 0.0f;
  const ULARGE_INTEGER* e = value.cauh.pElems;
  for (int i = 0; i < 3; ++i) {
    if ((e[i].QuadPart >> 32) == 0) return 0.0f;
  }
  const float degrees = RationalToFloat(e[0].QuadPart);
  const float minutes = RationalToFloat(e[1].QuadPart);
  const float seconds = RationalToFloat(e[2].QuadPart);
  return degrees + minutes / 60.0f + seconds / 3600.0f;
}

std::wstring ReadCoordinate(IWICMetadataQueryReader* reader, int value_tag, int ref_tag,
                            const wchar_t* negative_ref) {
  ScopedPropVariant value;
  if (!Query(reader, Directory::kGps, value_tag, &value)) return std::wstring();
  float coordinate = CoordinateFrom(value.Get());
  ScopedPropVariant ref;
  if (Query(reader, Directory::kGps, ref_tag, &ref)) {
    if (::_wcsicmp(PropVariantToText(ref.Get()).c_str(), negative_ref) == 0 && coordinate != 0.0f) {
      coordinate = -coordinate;
    }
  }
  return Format(L"%f", coordinate);
}

std::wstring ReadText(IWICMetadataQueryReader* reader, Directory dir, int tag) {
  ScopedPropVariant value;
  return Query(reader, dir, tag, &value) ? PropVariantToText(value.Get()) : std::wstring();
}
std::wstring ReadShort(IWICMetadataQueryReader* reader, int tag) {
  ScopedPropVariant value;
  return Query(reader, Directory::kExif, tag, &value) ? PropVariantToShortText(value.Get())
                                                      : std::wstring();
}
std::wstring ReadRational(IWICMetadataQueryReader* reader, int tag) {
  ScopedPropVariant value;
  return Query(reader, Directory::kExif, tag, &value) ? PropVariantToRationalText(value.Get())
                                                      : std::wstring();
}

}  // namespace

std::wstring PropVariantToText(const PROPVARIANT& value) {
  switch (value.vt) {
    case VT_LPSTR:
      return FromAnsi(value.pszVal);
    case VT_LPWSTR:
      return value.pwszVal ? std::wstring(value.pwszVal, ::wcsnlen(value.pwszVal, 65536))
                           : std::wstring();
    case VT_VECTOR | VT_LPSTR:
      return (value.calpstr.cElems > 0 && value.calpstr.pElems) ? FromAnsi(value.calpstr.pElems[0])
                                                                : std::wstring();
    default:
      return std::wstring();
  }
}

std::wstring PropVariantToShortText(const PROPVARIANT& value) {
  if (value.vt != VT_UI2) return std::wstring();
  return std::to_wstring(static_cast<int>(value.uiVal));
}

std::wstring PropVariantToRationalText(const PROPVARIANT& value) {
  const float quotient = value.vt == VT_UI8 ? RationalToFloat(value.uhVal.QuadPart) : 0.0f;
  return Format(L"%.1f", quotient);
}

std::wstring PropVariantToFractionText(const PROPVARIANT& value) {
  if (value.vt != VT_UI8) return std::wstring();
  const UINT numerator = static_cast<UINT>(value.uhVal.QuadPart & 0xFFFFFFFFu);
  const UINT denominator = static_cast<UINT>(value.uhVal.QuadPart >> 32);
  return std::to_wstring(numerator) + L"/" + std::to_wstring(denominator);
}

void ReadMetadata(IWICMetadataQueryReader* reader, double dpi_x, ImageMetadata* info) {
  if (!reader || !info) return;
  info->date_taken = ReadText(reader, Directory::kExif, 36867);

  const std::wstring latitude = ReadCoordinate(reader, 2, 1, L"S");
  if (!latitude.empty()) {
    const std::wstring longitude = ReadCoordinate(reader, 4, 3, L"W");
    if (!longitude.empty()) info->gps = latitude + L"," + longitude;
  }

  if (dpi_x > 0.0 && dpi_x < 2147483647.0) info->resolution = static_cast<int>(dpi_x + 0.5);

  info->maker = ReadText(reader, Directory::kMain, 271);
  info->model = ReadText(reader, Directory::kMain, 272);
  info->lens = ReadText(reader, Directory::kExif, 42036);
  info->f_number = ReadRational(reader, 33437);
  info->max_aperture = ReadRational(reader, 37381);
  {
    ScopedPropVariant value;
    if (Query(reader, Directory::kExif, 33434, &value)) {
      info->exposure_time = PropVariantToFractionText(value.Get());
    }
  }
  info->iso = ReadShort(reader, 34855);
  info->focal_length = ReadRational(reader, 37386);
  info->metering_mode = ReadShort(reader, 37383);
  info->flash = ReadShort(reader, 37385);
  info->white_balance = ReadShort(reader, 41987);
  info->exposure_program = ReadShort(reader, 34850);

  ScopedPropVariant orientation;
  if (Query(reader, Directory::kMain, 274, &orientation) && orientation.Get().vt == VT_UI2 &&
      orientation.Get().uiVal >= 1 && orientation.Get().uiVal <= 8) {
    info->orientation = orientation.Get().uiVal;
  }
}

void ReadFrameMetadata(IWICBitmapFrameDecode* frame, IWICMetadataQueryReader* reader,
                       ImageMetadata* info) {
  if (!frame || !reader || !info) return;
  double dpi_x = 0.0, dpi_y = 0.0;
  if (FAILED(frame->GetResolution(&dpi_x, &dpi_y))) dpi_x = 0.0;
  ReadMetadata(reader, dpi_x, info);
}

}  // namespace image
