#include "image/image_format.h"

#include <windows.h>
#include <shlwapi.h>

namespace {

struct FormatGroup {
  ImageFormat id;
  const wchar_t* list;
};

// Search order; jng and j2c are also in the Other list, so their own groups must come first.
const FormatGroup kGroups[] = {
    {ImageFormat::Bmp, L",bmp,dib,"},
    {ImageFormat::Jpeg, L",jpg,jpeg,jfif,jpe,"},
    {ImageFormat::Gif, L",gif,"},
    {ImageFormat::Tiff, L",tiff,tif,"},
    {ImageFormat::Png, L",png,"},
    {ImageFormat::Ico, L",ico,"},
    {ImageFormat::Psd, L",psd,"},
    {ImageFormat::Tga, L",tga,"},
    {ImageFormat::Oxo, L",oxo,"},
    {ImageFormat::Wmf, L",wmf,"},
    {ImageFormat::Emf, L",emf,"},
    {ImageFormat::Jng, L",jng,"},
    {ImageFormat::J2c, L",j2c,"},
    {ImageFormat::Raw,
     L",3fr,arw,bay,bmq,cap,cine,cr2,crw,cs1,dc2,dcr,drf,dsc,dng,erf,fff,ia,iiq,k25,kc2,kdc,mdc,"
     L"mef,mos,mrw,nef,nrw,orf,pef,ptx,pxn,qtk,raf,raw,rdc,rw2,rwl,rwz,sr2,srf,srw,sti,x3f,"},
    {ImageFormat::Other,
     L",cut,dds,exr,g3,hdr,iff,lbm,j2k,j2c,jng,jp2,jxr,wdp,hdp,koa,pcd,pcx,pfm,pct,pict,pic,pbm,"
     L"pgm,ppm,ras,sgi,rgb,rgba,bw,wap,wbmp,wbm,webp,xbm,xpm,"},
};

// Longest extension in any list is 4 characters; anything much longer cannot match, and
// bounding it keeps the needle on the stack.
constexpr size_t kMaxExtension = 32;

}  // namespace

ImageFormat GetImageFormat(const wchar_t* path) {
  if (!path) return ImageFormat::None;
  // The shell's rule: text after the last dot of the last component.
  const wchar_t* ext = PathFindExtensionW(path);
  if (!ext || *ext != L'.') return ImageFormat::None;
  ++ext;
  const size_t len = wcslen(ext);
  if (len == 0 || len > kMaxExtension) return ImageFormat::None;
  // A comma inside the extension would let the needle span two entries ("a.jpg,jpeg").
  if (wcschr(ext, L',')) return ImageFormat::None;

  wchar_t needle[kMaxExtension + 3];
  needle[0] = L',';
  wmemcpy(needle + 1, ext, len);
  needle[len + 1] = L',';
  needle[len + 2] = L'\0';
  for (const FormatGroup& group : kGroups) {
    if (StrStrIW(group.list, needle)) return group.id;
  }
  return ImageFormat::None;
}

ImageFormat GetImageFormat(const std::wstring& path) { return GetImageFormat(path.c_str()); }

bool IsSystemFormat(ImageFormat id) {
  const int n = static_cast<int>(id);
  return n >= 1 && n <= 5;
}

const wchar_t* GetFormatExtensionList(ImageFormat id) {
  for (const FormatGroup& group : kGroups) {
    if (group.id == id) return group.list;
  }
  return L"";
}

const wchar_t kOpenDialogFilterTemplate[] =
    L"%s (*.*)|*.bmp;*.dib;*.jpg;*.jpeg;*.jfif;*.jpe;*.gif;*.tiff;*.tif;*.png;*.ico;*.psd;*.cut;"
    L"*.dds;*.exr;*.g3;*.hdr;*.iff;*.lbm;*.j2k;*.j2c;*.jng;*.jp2;*.jxr;*.wdp;*.hdp;*.koa;*.pcd;"
    L"*.pcx;*.pfm;*.pct;*.pict;*.pic;*.pbm;*.pgm;*.ppm;*.ras;*.sgi;*.rgb;*.rgba;*.bw;*.tga;"
    L"*.targa;*.wap;*.wbmp;*.wbm;*.webp;*.xbm;*.xpm;*.3fr;*.arw;*.bay;*.bmq;*.cap;*.cine;*.cr2;"
    L"*.crw;*.cs1;*.dc2;*.dcr;*.drf;*.dsc;*.dng;*.erf;*.fff;*.ia;*.iiq;*.k25;*.kc2;*.kdc;*.mdc;"
    L"*.mef;*.mos;*.mrw;*.nef;*.nrw;*.orf;*.pef;*.ptx;*.pxn;*.qtk;*.raf;*.raw;*.rdc;*.rw2;*.rwl;"
    L"*.rwz;*.sr2;*.srf;*.srw;*.sti;*.x3f||";

std::wstring BuildOpenDialogFilter(const std::wstring& support_text) {
  // Plain substitution: the localised text is data, never a format string.
  std::wstring filter(kOpenDialogFilterTemplate);
  const size_t at = filter.find(L"%s");
  if (at != std::wstring::npos) filter.replace(at, 2, support_text);
  return filter;
}

const wchar_t kSaveDialogFilter[] = L"JPEG|*.jpg|PNG|*.png|BMP|*.bmp|GIF|*.gif|TIFF|*.tiff||";
const wchar_t kSaveDialogDefaultExtension[] = L"jpg";

const wchar_t* SaveFilterIndexToExtension(int filter_index) {
  switch (filter_index) {
    case 2:
      return L".png";
    case 3:
      return L".bmp";
    case 4:
      return L".gif";
    case 5:
      return L".tiff";
    default:
      return L".jpg";
  }
}
