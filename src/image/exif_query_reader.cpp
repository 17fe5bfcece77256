#include "image/exif_query_reader.h"

#include <string.h>
#include <wchar.h>

#include <atomic>
#include <new>
#include <utility>

namespace image {
namespace {

struct QueryPrefix {
  const wchar_t* text;
  ExifDirectory dir;
};

const QueryPrefix kQueryPrefixes[] = {
    {L"/app1/ifd/{ushort=", ExifDirectory::kMain},
    {L"/app1/ifd/exif/{ushort=", ExifDirectory::kExif},
    {L"/app1/ifd/gps/{ushort=", ExifDirectory::kGps},
};

template <typename T>
T ElementAs(const ExifField& field, uint32_t i) {
  return static_cast<T>(field.UInt(i));
}

uint64_t RationalBits(const ExifField& field, uint32_t i) {
  uint32_t numerator = 0, denominator = 0;
  field.Rational(i, &numerator, &denominator);
  return uint64_t{denominator} << 32 | numerator;
}

ULARGE_INTEGER UnsignedRationalAt(const ExifField& field, uint32_t i) {
  ULARGE_INTEGER value;
  value.QuadPart = RationalBits(field, i);
  return value;
}

LARGE_INTEGER SignedRationalAt(const ExifField& field, uint32_t i) {
  LARGE_INTEGER value;
  value.QuadPart = static_cast<LONGLONG>(RationalBits(field, i));
  return value;
}

float FloatAt(const ExifField& field, uint32_t i) {
  const uint32_t bits = field.UInt(i);
  float value;
  memcpy(&value, &bits, sizeof(value));
  return value;
}

double DoubleAt(const ExifField& field, uint32_t i) {
  const uint64_t bits = field.Double(i);
  double value;
  memcpy(&value, &bits, sizeof(value));
  return value;
}

// One element as scalar, several as a counted array of the same element type.
template <typename T, typename Array, typename Get>
HRESULT Store(const ExifField& field, VARTYPE vt, T* scalar, Array* array, Get get,
              PROPVARIANT* value) {
  if (field.count == 1) {
    *scalar = get(field, 0);
    value->vt = vt;
    return S_OK;
  }
  T* elements = static_cast<T*>(::CoTaskMemAlloc(sizeof(T) * static_cast<size_t>(field.count)));
  if (!elements) return E_OUTOFMEMORY;
  for (uint32_t i = 0; i < field.count; ++i) elements[i] = get(field, i);
  array->cElems = field.count;
  array->pElems = elements;
  value->vt = static_cast<VARTYPE>(VT_VECTOR | vt);
  return S_OK;
}

class CExifQueryReader final : public IWICMetadataQueryReader {
 public:
  explicit CExifQueryReader(std::shared_ptr<const CExifData> exif) : exif_(std::move(exif)) {}
  CExifQueryReader(const CExifQueryReader&) = delete;
  CExifQueryReader& operator=(const CExifQueryReader&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IWICMetadataQueryReader) {
      *object = static_cast<IWICMetadataQueryReader*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;  // COM lifetime: the last reference frees the object
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
    if (!format) return E_INVALIDARG;
    *format = GUID_ContainerFormatJpeg;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetLocation(UINT max_length, WCHAR* location,
                                        UINT* actual_length) override {
    static const wchar_t kRoot[] = L"/";
    const UINT needed = static_cast<UINT>(wcslen(kRoot) + 1);
    if (!actual_length) return E_INVALIDARG;
    *actual_length = needed;
    if (!location) return S_OK;
    if (max_length < needed) return WINCODEC_ERR_INSUFFICIENTBUFFER;
    wcscpy(location, kRoot);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetMetadataByName(LPCWSTR name, PROPVARIANT* value) override {
    if (!name) return E_INVALIDARG;
    if (value) PropVariantInit(value);
    ExifDirectory dir;
    uint16_t tag;
    if (!ParseExifQuery(name, &dir, &tag)) return WINCODEC_ERR_PROPERTYNOTFOUND;
    // The sub-directory links are structure; the system answers them with nested readers.
    if (dir == ExifDirectory::kMain && (tag == kExifTagExifPointer || tag == kExifTagGpsPointer))
      return WINCODEC_ERR_PROPERTYNOTFOUND;
    ExifField field;
    if (!exif_ || !exif_->Find(dir, tag, &field)) return WINCODEC_ERR_PROPERTYNOTFOUND;
    if (!value) return S_OK;
    return ExifFieldToPropVariant(field, value);
  }

  HRESULT STDMETHODCALLTYPE GetEnumerator(IEnumString** enumerator) override {
    if (enumerator) *enumerator = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~CExifQueryReader() = default;

  std::atomic<ULONG> refs_{1};
  const std::shared_ptr<const CExifData> exif_;
};

}  // namespace

bool ParseExifQuery(const wchar_t* query, ExifDirectory* dir, uint16_t* tag) {
  if (!query) return false;
  for (const QueryPrefix& prefix : kQueryPrefixes) {
    const size_t length = wcslen(prefix.text);
    if (_wcsnicmp(query, prefix.text, length) != 0) continue;
    const wchar_t* p = query + length;
    uint32_t number = 0;
    int digits = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
      if (++digits > 5) return false;
      number = number * 10 + static_cast<uint32_t>(*p - L'0');
    }
    if (digits == 0 || number > 0xFFFF || p[0] != L'}' || p[1] != L'\0') return false;
    *dir = prefix.dir;
    *tag = static_cast<uint16_t>(number);
    return true;
  }
  return false;
}

HRESULT ExifFieldToPropVariant(const ExifField& field, PROPVARIANT* value) {
  PropVariantInit(value);
  PROPVARIANT& v = *value;
  switch (field.type) {
    case kExifAscii: {
      const std::string text = field.Text();
      char* copy = static_cast<char*>(::CoTaskMemAlloc(text.size() + 1));
      if (!copy) return E_OUTOFMEMORY;
      memcpy(copy, text.c_str(), text.size() + 1);
      v.pszVal = copy;
      v.vt = VT_LPSTR;
      return S_OK;
    }
    case kExifUndefined: {
      const size_t size = field.byte_size();
      BYTE* copy = static_cast<BYTE*>(::CoTaskMemAlloc(size));
      if (!copy) return E_OUTOFMEMORY;
      memcpy(copy, field.data, size);
      v.blob.cbSize = static_cast<ULONG>(size);
      v.blob.pBlobData = copy;
      v.vt = VT_BLOB;
      return S_OK;
    }
    case kExifByte:
      return Store(field, VT_UI1, &v.bVal, &v.caub, ElementAs<UCHAR>, value);
    case kExifSByte:
      return Store(field, VT_I1, &v.cVal, &v.cac, ElementAs<CHAR>, value);
    case kExifShort:
      return Store(field, VT_UI2, &v.uiVal, &v.caui, ElementAs<USHORT>, value);
    case kExifSShort:
      return Store(field, VT_I2, &v.iVal, &v.cai, ElementAs<SHORT>, value);
    case kExifLong:
    case kExifIfd:
      return Store(field, VT_UI4, &v.ulVal, &v.caul, ElementAs<ULONG>, value);
    case kExifSLong:
      return Store(field, VT_I4, &v.lVal, &v.cal, ElementAs<LONG>, value);
    case kExifRational:
      return Store(field, VT_UI8, &v.uhVal, &v.cauh, UnsignedRationalAt, value);
    case kExifSRational:
      return Store(field, VT_I8, &v.hVal, &v.cah, SignedRationalAt, value);
    case kExifFloat:
      return Store(field, VT_R4, &v.fltVal, &v.caflt, FloatAt, value);
    case kExifDouble:
      return Store(field, VT_R8, &v.dblVal, &v.cadbl, DoubleAt, value);
    default:
      return WINCODEC_ERR_PROPERTYNOTFOUND;
  }
}

HRESULT CreateExifQueryReader(std::shared_ptr<const CExifData> exif,
                              IWICMetadataQueryReader** reader) {
  if (!reader) return E_POINTER;
  *reader = nullptr;
  if (!exif || !exif->valid()) return E_INVALIDARG;
  *reader = new (std::nothrow) CExifQueryReader(std::move(exif));
  return *reader ? S_OK : E_OUTOFMEMORY;
}

}  // namespace image
