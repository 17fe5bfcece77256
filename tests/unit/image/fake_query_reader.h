#pragma once

#include <propidl.h>
#include <wincodec.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A metadata query reader that answers the paths it was given with the values chosen by the
// test (Wine's JPEG reader answers none of the EXIF paths).
class FakeQueryReader final : public IWICMetadataQueryReader {
 public:
  using Maker = std::function<void(PROPVARIANT*)>;
  virtual ~FakeQueryReader() = default;

  void Set(const std::wstring& path, Maker maker) { values_[path] = std::move(maker); }
  const std::vector<std::wstring>& Queries() const { return queries_; }

  static Maker Ansi(const char* text) {
    std::string s = text;
    return [s](PROPVARIANT* v) {
      v->vt = VT_LPSTR;
      v->pszVal = static_cast<char*>(::CoTaskMemAlloc(s.size() + 1));
      std::memcpy(v->pszVal, s.c_str(), s.size() + 1);
    };
  }
  static Maker Wide(const wchar_t* text) {
    std::wstring s = text;
    return [s](PROPVARIANT* v) {
      v->vt = VT_LPWSTR;
      v->pwszVal = static_cast<wchar_t*>(::CoTaskMemAlloc((s.size() + 1) * sizeof(wchar_t)));
      std::memcpy(v->pwszVal, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    };
  }
  static Maker AnsiVector(std::vector<std::string> items) {
    return [items](PROPVARIANT* v) {
      v->vt = VT_VECTOR | VT_LPSTR;
      v->calpstr.cElems = static_cast<ULONG>(items.size());
      v->calpstr.pElems = static_cast<char**>(::CoTaskMemAlloc(sizeof(char*) * (items.size() + 1)));
      for (size_t i = 0; i < items.size(); ++i) {
        v->calpstr.pElems[i] = static_cast<char*>(::CoTaskMemAlloc(items[i].size() + 1));
        std::memcpy(v->calpstr.pElems[i], items[i].c_str(), items[i].size() + 1);
      }
    };
  }
  static Maker UShort(USHORT value) {
    return [value](PROPVARIANT* v) {
      v->vt = VT_UI2;
      v->uiVal = value;
    };
  }
  static Maker ULong(ULONG value) {
    return [value](PROPVARIANT* v) {
      v->vt = VT_UI4;
      v->ulVal = value;
    };
  }
  static ULONGLONG Pack(ULONG numerator, ULONG denominator) {
    return (static_cast<ULONGLONG>(denominator) << 32) | numerator;
  }
  static Maker Rational(ULONG numerator, ULONG denominator) {
    return [=](PROPVARIANT* v) {
      v->vt = VT_UI8;
      v->uhVal.QuadPart = Pack(numerator, denominator);
    };
  }
  static Maker SignedRational(LONG numerator, LONG denominator) {
    return [=](PROPVARIANT* v) {
      v->vt = VT_I8;
      v->hVal.QuadPart = (static_cast<LONGLONG>(denominator) << 32) | static_cast<ULONG>(numerator);
    };
  }
  static Maker RationalVector(std::vector<std::pair<ULONG, ULONG>> items) {
    return [items](PROPVARIANT* v) {
      v->vt = VT_VECTOR | VT_UI8;
      v->cauh.cElems = static_cast<ULONG>(items.size());
      v->cauh.pElems = static_cast<ULARGE_INTEGER*>(
          ::CoTaskMemAlloc(sizeof(ULARGE_INTEGER) * (items.size() + 1)));
      for (size_t i = 0; i < items.size(); ++i) {
        v->cauh.pElems[i].QuadPart = Pack(items[i].first, items[i].second);
      }
    };
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWICMetadataQueryReader)) {
      *out = static_cast<IWICMetadataQueryReader*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  // IWICMetadataQueryReader
  HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
    if (!format) return E_INVALIDARG;
    *format = GUID_ContainerFormatJpeg;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocation(UINT, WCHAR*, UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMetadataByName(LPCWSTR name, PROPVARIANT* value) override {
    if (!name) return E_INVALIDARG;
    queries_.push_back(name);
    auto it = values_.find(name);
    if (it == values_.end()) return WINCODEC_ERR_PROPERTYNOTFOUND;
    if (value) {
      ::PropVariantInit(value);
      it->second(value);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetEnumerator(IEnumString** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::map<std::wstring, Maker> values_;
  std::vector<std::wstring> queries_;
};
