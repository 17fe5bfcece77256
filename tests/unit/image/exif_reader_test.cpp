#include "image/exif_reader.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <string.h>
#include <windows.h>

#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "basic_lib/com_ptr.h"
#include "image/exif_query_reader.h"
#include "unit/image/exif_test_util.h"

using exif_test::Bytes;
using exif_test::GuardedArena;
using exif_test::JpegBuilder;
using exif_test::Put16;
using exif_test::Put32;
using exif_test::TiffBuilder;
using image::ExifDirectory;
using image::ExifField;

namespace {

constexpr ExifDirectory kMain = ExifDirectory::kMain;
constexpr ExifDirectory kExif = ExifDirectory::kExif;
constexpr ExifDirectory kGps = ExifDirectory::kGps;

struct Key {
  ExifDirectory dir;
  uint16_t tag;
};

// The record's kind of content in every directory, at least one value read from outside its entry.
TiffBuilder Camera(bool big_endian) {
  TiffBuilder t(big_endian);
  t.AddAscii(kMain, 271, "LumoCam");
  t.AddAscii(kMain, 272, "LC-1 Mark II");
  t.AddShorts(kMain, 274, {6});
  t.AddAscii(kExif, 36867, "2019:05:04 13:02:09");
  t.AddRationals(kExif, 33437, {{28, 10}});
  t.AddRationals(kExif, 33434, {{10, 2500}});
  t.AddShorts(kExif, 34855, {400});
  t.AddAscii(kGps, 1, "N");
  t.AddRationals(kGps, 2, {{39, 1}, {54, 1}, {1512, 100}});
  return t;
}

const Key kCameraKeys[] = {{kMain, 271},   {kMain, 272},   {kMain, 274},
                           {kExif, 36867}, {kExif, 33437}, {kExif, 33434},
                           {kExif, 34855}, {kGps, 1},      {kGps, 2}};

bool Has(const image::CExifData& exif, Key key) {
  ExifField field;
  return exif.Find(key.dir, key.tag, &field);
}

Bytes FieldBytes(const ExifField& f) { return Bytes(f.data, f.data + f.byte_size()); }

class ExifReaderTest : public ::testing::TestWithParam<bool> {};

TEST_P(ExifReaderTest, ReadsEveryDirectory) {
  TiffBuilder t = Camera(GetParam());
  const Bytes tiff = t.Build();
  image::CExifData exif;
  ASSERT_TRUE(exif.Parse(tiff));
  EXPECT_EQ(GetParam(), exif.big_endian());
  for (const Key& key : kCameraKeys) EXPECT_TRUE(Has(exif, key)) << key.tag;

  ExifField f;
  ASSERT_TRUE(exif.Find(kMain, 272, &f));
  EXPECT_EQ("LC-1 Mark II", f.Text());
  ASSERT_TRUE(exif.Find(kMain, 274, &f));
  EXPECT_EQ(image::kExifShort, f.type);
  EXPECT_EQ(6u, f.UInt(0));
  ASSERT_TRUE(exif.Find(kExif, 33434, &f));
  uint32_t num = 0, den = 0;
  f.Rational(0, &num, &den);
  EXPECT_EQ(10u, num);
  EXPECT_EQ(2500u, den);
  ASSERT_TRUE(exif.Find(kGps, 2, &f));
  ASSERT_EQ(3u, f.count);
  f.Rational(2, &num, &den);
  EXPECT_EQ(1512u, num);
  EXPECT_EQ(100u, den);
  // Directories keep their own tags: tag 1 of GPS is not tag 1 of IFD0.
  EXPECT_FALSE(exif.Find(kMain, 1, &f));
  EXPECT_FALSE(exif.Find(kExif, 271, &f));
}

// A bad field reads as absent; the rest of the block stays readable.
struct BadCase {
  const char* name;
  void (*patch)(const TiffBuilder& t, Bytes* b);
  bool parses;
  std::vector<Key> absent;
  std::vector<ExifDirectory> lost_dirs = {};
};

const BadCase kBadCases[] = {
    {"value offset past the segment",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, 272) + 8, static_cast<uint32_t>(b->size()), t.big_endian());
     },
     true,
     {{kMain, 272}}},
    {"value ends one byte past the segment",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, 272) + 8, static_cast<uint32_t>(b->size() - 12), t.big_endian());
     },
     true,
     {{kMain, 272}}},
    {"value offset wraps around",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kExif, 33437) + 8, 0xFFFFFFFCu, t.big_endian());
     },
     true,
     {{kExif, 33437}}},
    {"count times size overflows 32 bits",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kExif, 33437) + 4, 0x20000000u, t.big_endian());
     },
     true,
     {{kExif, 33437}}},
    {"absurd text count",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kExif, 36867) + 4, 0xFFFFFFFFu, t.big_endian());
     },
     true,
     {{kExif, 36867}}},
    {"absurd rational array count",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kGps, 2) + 4, 0x7FFFFFFFu, t.big_endian());
     },
     true,
     {{kGps, 2}}},
    {"count zero",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, 274) + 4, 0, t.big_endian());
     },
     true,
     {{kMain, 274}}},
    {"unknown type",
     [](const TiffBuilder& t, Bytes* b) {
       Put16(b, t.EntryPos(kMain, 274) + 2, 99, t.big_endian());
     },
     true,
     {{kMain, 274}}},
    {"type zero",
     [](const TiffBuilder& t, Bytes* b) { Put16(b, t.EntryPos(kGps, 1) + 2, 0, t.big_endian()); },
     true,
     {{kGps, 1}}},
    {"IFD0 entry count past the segment",
     [](const TiffBuilder& t, Bytes* b) { Put16(b, t.DirOffset(kMain), 0xFFFF, t.big_endian()); },
     false,
     {}},
    {"IFD0 offset past the segment",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, 4, static_cast<uint32_t>(b->size() - 1), t.big_endian());
     },
     false,
     {}},
    {"IFD0 offset wraps around",
     [](const TiffBuilder& t, Bytes* b) { Put32(b, 4, 0xFFFFFFFFu, t.big_endian()); },
     false,
     {}},
    {"IFD0 inside the header",
     [](const TiffBuilder& t, Bytes* b) { Put32(b, 4, 2, t.big_endian()); },
     false,
     {}},
    {"unknown byte order", [](const TiffBuilder&, Bytes* b) { (*b)[1] = 'X'; }, false, {}},
    {"mixed byte order mark",
     [](const TiffBuilder&, Bytes* b) { (*b)[0] = 'M', (*b)[1] = 'I'; },
     false,
     {}},
    {"wrong magic number",
     [](const TiffBuilder& t, Bytes* b) { Put16(b, 2, 43, t.big_endian()); },
     false,
     {}},
    {"Exif pointer at IFD0 itself",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, image::kExifTagExifPointer) + 8, t.DirOffset(kMain),
             t.big_endian());
     },
     true,
     {{kExif, 36867}, {kExif, 33437}, {kExif, 274}, {kExif, 271}},
     {kExif}},
    {"Exif pointer into the middle of IFD0",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, image::kExifTagExifPointer) + 8, t.DirOffset(kMain) + 12,
             t.big_endian());
     },
     true,
     {{kExif, 36867}, {kExif, 33437}},
     {kExif}},
    {"GPS pointer at the Exif directory",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, image::kExifTagGpsPointer) + 8, t.DirOffset(kExif),
             t.big_endian());
     },
     true,
     {{kGps, 1}, {kGps, 2}, {kGps, 33437}},
     {kGps}},
    {"Exif pointer past the segment",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, image::kExifTagExifPointer) + 8, static_cast<uint32_t>(b->size()),
             t.big_endian());
     },
     true,
     {{kExif, 36867}},
     {kExif}},
    {"Exif directory count past the segment",
     [](const TiffBuilder& t, Bytes* b) { Put16(b, t.DirOffset(kExif), 0x8000, t.big_endian()); },
     true,
     {{kExif, 36867}, {kExif, 33437}},
     {kExif}},
    {"Exif pointer of the wrong type",
     [](const TiffBuilder& t, Bytes* b) {
       Put16(b, t.EntryPos(kMain, image::kExifTagExifPointer) + 2, image::kExifShort,
             t.big_endian());
     },
     true,
     {{kExif, 36867}},
     {kExif}},
    {"GPS pointer with two values",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, image::kExifTagGpsPointer) + 4, 2, t.big_endian());
     },
     true,
     {{kGps, 2}},
     {kGps}},
    {"IFD0 chain loops back to itself",
     [](const TiffBuilder& t, Bytes* b) {
       Put32(b, t.EntryPos(kMain, image::kExifTagGpsPointer) + 12, t.DirOffset(kMain),
             t.big_endian());
     },
     true,
     {}},
    {"Exif directory points at itself",
     [](const TiffBuilder& t, Bytes* b) {
       // The ISO entry becomes an Exif link to its own directory: a loop for a recursive reader.
       const size_t pos = t.EntryPos(kExif, 34855);
       Put16(b, pos, image::kExifTagExifPointer, t.big_endian());
       Put16(b, pos + 2, image::kExifLong, t.big_endian());
       Put32(b, pos + 4, 1, t.big_endian());
       Put32(b, pos + 8, t.DirOffset(kExif), t.big_endian());
     },
     true,
     {{kExif, 34855}}},
};

TEST_P(ExifReaderTest, BadFieldsReadAsAbsent) {
  GuardedArena arena;
  ASSERT_TRUE(arena.ok());
  for (const BadCase& c : kBadCases) {
    SCOPED_TRACE(c.name);
    TiffBuilder t = Camera(GetParam());
    Bytes tiff = t.Build();
    c.patch(t, &tiff);
    image::CExifData exif;
    ASSERT_EQ(c.parses, exif.ParseView(arena.Place(tiff), tiff.size()));
    if (!c.parses) {
      for (const Key& key : kCameraKeys) EXPECT_FALSE(Has(exif, key));
      continue;
    }
    for (const Key& key : c.absent) EXPECT_FALSE(Has(exif, key)) << key.tag;
    for (ExifDirectory dir : c.lost_dirs) EXPECT_FALSE(exif.HasDirectory(dir));
    // Everything the patch did not touch is still there, with its value.
    image::CExifData good;
    ASSERT_TRUE(good.Parse(t.Build()));
    for (const Key& key : kCameraKeys) {
      bool touched = false;
      for (const Key& a : c.absent) touched |= a.dir == key.dir && a.tag == key.tag;
      for (ExifDirectory dir : c.lost_dirs) touched |= dir == key.dir;
      if (touched) continue;
      ExifField got, want;
      ASSERT_TRUE(exif.Find(key.dir, key.tag, &got)) << key.tag;
      ASSERT_TRUE(good.Find(key.dir, key.tag, &want));
      EXPECT_EQ(FieldBytes(want), FieldBytes(got)) << key.tag;
    }
  }
}

// Every prefix of a block: what is read must be what the whole block says, and never more.
TEST_P(ExifReaderTest, TruncatedBlocksNeverReadPastTheirEnd) {
  GuardedArena arena;
  ASSERT_TRUE(arena.ok());
  TiffBuilder t = Camera(GetParam());
  const Bytes full = t.Build();
  image::CExifData whole;
  ASSERT_TRUE(whole.Parse(full));
  int seen_partial = 0;
  for (size_t length = 0; length <= full.size(); ++length) {
    const Bytes cut(full.begin(), full.begin() + length);
    image::CExifData exif;
    if (!exif.ParseView(arena.Place(cut), cut.size())) continue;
    int present = 0;
    for (const Key& key : kCameraKeys) {
      ExifField got, want;
      if (!exif.Find(key.dir, key.tag, &got)) continue;
      ++present;
      ASSERT_TRUE(whole.Find(key.dir, key.tag, &want));
      EXPECT_EQ(FieldBytes(want), FieldBytes(got)) << length << " " << key.tag;
    }
    if (present > 0 && present < static_cast<int>(std::size(kCameraKeys))) ++seen_partial;
    if (length == full.size()) {
      EXPECT_EQ(static_cast<int>(std::size(kCameraKeys)), present);
    }
  }
  EXPECT_GT(seen_partial, 0);
}

struct VariantCase {
  const char* name;
  void (*add)(TiffBuilder* t);
  VARTYPE vt;
  void (*check)(const PROPVARIANT& v);
};

const VariantCase kVariantCases[] = {
    {"ASCII", [](TiffBuilder* t) { t->AddAscii(kMain, 500, "Lumo"); }, VT_LPSTR,
     [](const PROPVARIANT& v) { EXPECT_STREQ("Lumo", v.pszVal); }},
    {"ASCII without NUL",
     [](TiffBuilder* t) {
       t->Add(kMain, 500, image::kExifAscii, 6, Bytes{'a', 'b', 'c', 'd', 'e', 'f'});
     },
     VT_LPSTR, [](const PROPVARIANT& v) { EXPECT_STREQ("abcdef", v.pszVal); }},
    {"BYTE", [](TiffBuilder* t) { t->Add(kMain, 500, image::kExifByte, 1, Bytes{200}); }, VT_UI1,
     [](const PROPVARIANT& v) { EXPECT_EQ(200, v.bVal); }},
    {"BYTE[5]",
     [](TiffBuilder* t) {
       t->Add(kMain, 500, image::kExifByte, 5, Bytes{2, 3, 0, 0, 9});
     },
     VT_VECTOR | VT_UI1,
     [](const PROPVARIANT& v) {
       ASSERT_EQ(5u, v.caub.cElems);
       EXPECT_EQ(9, v.caub.pElems[4]);
     }},
    {"SHORT", [](TiffBuilder* t) { t->AddShorts(kMain, 500, {65535}); }, VT_UI2,
     [](const PROPVARIANT& v) { EXPECT_EQ(65535, v.uiVal); }},
    {"SHORT[3]",
     [](TiffBuilder* t) {
       t->AddShorts(kMain, 500, {1, 2, 0x1234});
     },
     VT_VECTOR | VT_UI2,
     [](const PROPVARIANT& v) {
       ASSERT_EQ(3u, v.caui.cElems);
       EXPECT_EQ(0x1234, v.caui.pElems[2]);
     }},
    {"LONG", [](TiffBuilder* t) { t->AddLongs(kMain, 500, {0xDEADBEEFu}); }, VT_UI4,
     [](const PROPVARIANT& v) { EXPECT_EQ(0xDEADBEEFu, v.ulVal); }},
    {"RATIONAL",
     [](TiffBuilder* t) {
       t->AddRationals(kMain, 500, {{10, 2500}});
     },
     VT_UI8, [](const PROPVARIANT& v) { EXPECT_EQ((2500ull << 32) | 10, v.uhVal.QuadPart); }},
    {"RATIONAL[3]",
     [](TiffBuilder* t) {
       t->AddRationals(kMain, 500, {{39, 1}, {54, 1}, {1512, 100}});
     },
     VT_VECTOR | VT_UI8,
     [](const PROPVARIANT& v) {
       ASSERT_EQ(3u, v.cauh.cElems);
       EXPECT_EQ((1ull << 32) | 39, v.cauh.pElems[0].QuadPart);
       EXPECT_EQ((100ull << 32) | 1512, v.cauh.pElems[2].QuadPart);
     }},
    {"SBYTE", [](TiffBuilder* t) { t->Add(kMain, 500, image::kExifSByte, 1, Bytes{0xFE}); }, VT_I1,
     [](const PROPVARIANT& v) { EXPECT_EQ(-2, v.cVal); }},
    {"UNDEFINED",
     [](TiffBuilder* t) {
       t->Add(kMain, 500, image::kExifUndefined, 4, Bytes{'0', '2', '3', '2'});
     },
     VT_BLOB,
     [](const PROPVARIANT& v) {
       ASSERT_EQ(4u, v.blob.cbSize);
       EXPECT_EQ(0, memcmp(v.blob.pBlobData, "0232", 4));
     }},
    {"SSHORT", [](TiffBuilder* t) { t->AddShorts(kMain, 500, {0xFFFE}, image::kExifSShort); },
     VT_I2, [](const PROPVARIANT& v) { EXPECT_EQ(-2, v.iVal); }},
    {"SLONG", [](TiffBuilder* t) { t->AddLongs(kMain, 500, {0xFFFFFFFBu}, image::kExifSLong); },
     VT_I4, [](const PROPVARIANT& v) { EXPECT_EQ(-5, v.lVal); }},
    {"SRATIONAL",
     [](TiffBuilder* t) {
       t->AddRationals(kMain, 500, {{0xFFFFFFFFu, 3}}, image::kExifSRational);
     },
     VT_I8,
     [](const PROPVARIANT& v) {
       EXPECT_EQ(-1, static_cast<int32_t>(v.hVal.QuadPart & 0xFFFFFFFF));
       EXPECT_EQ(3, static_cast<int32_t>(v.hVal.QuadPart >> 32));
     }},
    {"FLOAT", [](TiffBuilder* t) { t->AddLongs(kMain, 500, {0x3FC00000u}, image::kExifFloat); },
     VT_R4, [](const PROPVARIANT& v) { EXPECT_EQ(1.5f, v.fltVal); }},
};

TEST_P(ExifReaderTest, ValuesTakeTheSystemReadersTypes) {
  for (const VariantCase& c : kVariantCases) {
    SCOPED_TRACE(c.name);
    TiffBuilder t(GetParam());
    t.AddShorts(kMain, 274, {1});
    c.add(&t);
    image::CExifData exif;
    ASSERT_TRUE(exif.Parse(t.Build()));
    ExifField field;
    ASSERT_TRUE(exif.Find(kMain, 500, &field));
    PROPVARIANT v;
    ASSERT_EQ(S_OK, image::ExifFieldToPropVariant(field, &v));
    EXPECT_EQ(c.vt, v.vt);
    if (v.vt == c.vt) c.check(v);
    PropVariantClear(&v);
  }
}

TEST_P(ExifReaderTest, DoubleValue) {
  TiffBuilder t(GetParam());
  Bytes raw(8);
  const uint64_t bits = 0x4002000000000000ull;  // 2.25
  Put32(&raw, 0, static_cast<uint32_t>(GetParam() ? bits >> 32 : bits), GetParam());
  Put32(&raw, 4, static_cast<uint32_t>(GetParam() ? bits : bits >> 32), GetParam());
  t.Add(kMain, 500, image::kExifDouble, 1, raw);
  image::CExifData exif;
  ASSERT_TRUE(exif.Parse(t.Build()));
  ExifField field;
  ASSERT_TRUE(exif.Find(kMain, 500, &field));
  PROPVARIANT v;
  ASSERT_EQ(S_OK, image::ExifFieldToPropVariant(field, &v));
  ASSERT_EQ(VT_R8, v.vt);
  EXPECT_EQ(2.25, v.dblVal);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, ExifReaderTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Motorola" : "Intel";
                         });

TEST(ExifQueryTest, ParsesOnlyTheThreeForms) {
  struct Case {
    const wchar_t* query;
    bool ok;
    ExifDirectory dir;
    uint16_t tag;
  };
  const Case cases[] = {
      {L"/app1/ifd/{ushort=271}", true, kMain, 271},
      {L"/app1/ifd/exif/{ushort=36867}", true, kExif, 36867},
      {L"/app1/ifd/gps/{ushort=1}", true, kGps, 1},
      {L"/app1/ifd/gps/{ushort=0}", true, kGps, 0},
      {L"/APP1/IFD/EXIF/{USHORT=33437}", true, kExif, 33437},
      {L"/app1/ifd/{ushort=65535}", true, kMain, 65535},
      {L"/app1/ifd/{ushort=65536}", false, kMain, 0},
      {L"/app1/ifd/{ushort=99999999999}", false, kMain, 0},
      {L"/app1/ifd/{ushort=}", false, kMain, 0},
      {L"/app1/ifd/{ushort=-1}", false, kMain, 0},
      {L"/app1/ifd/{ushort=271", false, kMain, 0},
      {L"/app1/ifd/{ushort=271}/x", false, kMain, 0},
      {L"/app1/ifd/{uint=271}", false, kMain, 0},
      {L"/app1/ifd/interop/{ushort=1}", false, kMain, 0},
      {L"/app1", false, kMain, 0},
      {L"/app1/ifd", false, kMain, 0},
      {L"/ifd/{ushort=271}", false, kMain, 0},
      {L"/xmp/dc:title", false, kMain, 0},
      {L"", false, kMain, 0},
  };
  for (const Case& c : cases) {
    ExifDirectory dir = kMain;
    uint16_t tag = 0;
    ASSERT_EQ(c.ok, image::ParseExifQuery(c.query, &dir, &tag)) << c.query;
    if (!c.ok) continue;
    EXPECT_EQ(c.dir, dir) << c.query;
    EXPECT_EQ(c.tag, tag) << c.query;
  }
  ExifDirectory dir;
  uint16_t tag;
  EXPECT_FALSE(image::ParseExifQuery(nullptr, &dir, &tag));
}

TEST(ExifQueryTest, ComObjectAnswersLikeTheSystemReader) {
  auto exif = std::make_shared<image::CExifData>();
  ASSERT_TRUE(exif->Parse(Camera(false).Build()));
  basic_lib::ComPtr<IWICMetadataQueryReader> reader;
  ASSERT_EQ(S_OK, image::CreateExifQueryReader(exif, &reader));

  PROPVARIANT v;
  ASSERT_EQ(S_OK, reader->GetMetadataByName(L"/app1/ifd/{ushort=271}", &v));
  EXPECT_EQ(VT_LPSTR, v.vt);
  EXPECT_STREQ("LumoCam", v.pszVal);
  PropVariantClear(&v);
  EXPECT_EQ(S_OK, reader->GetMetadataByName(L"/app1/ifd/exif/{ushort=33434}", nullptr));
  for (const wchar_t* missing :
       {L"/app1/ifd/{ushort=36867}", L"/app1/ifd/gps/{ushort=4}", L"/app1", L"/app1/ifd",
        L"/app1/ifd/{ushort=34665}", L"/app1/ifd/{ushort=34853}", L"/xmp/dc:title"}) {
    EXPECT_EQ(WINCODEC_ERR_PROPERTYNOTFOUND, reader->GetMetadataByName(missing, &v)) << missing;
    EXPECT_EQ(VT_EMPTY, v.vt);
  }
  EXPECT_EQ(E_INVALIDARG, reader->GetMetadataByName(nullptr, &v));

  GUID format = GUID_NULL;
  EXPECT_EQ(S_OK, reader->GetContainerFormat(&format));
  EXPECT_TRUE(IsEqualGUID(GUID_ContainerFormatJpeg, format));
  UINT length = 0;
  EXPECT_EQ(S_OK, reader->GetLocation(0, nullptr, &length));
  EXPECT_EQ(2u, length);
  wchar_t location[4] = {};
  EXPECT_EQ(WINCODEC_ERR_INSUFFICIENTBUFFER, reader->GetLocation(1, location, &length));
  EXPECT_EQ(S_OK, reader->GetLocation(4, location, &length));
  EXPECT_STREQ(L"/", location);

  basic_lib::ComPtr<IWICMetadataQueryWriter> writer;
  EXPECT_EQ(E_NOINTERFACE, reader.As(&writer));
  basic_lib::ComPtr<IUnknown> unknown;
  EXPECT_EQ(S_OK, reader.As(&unknown));

  // The reader keeps the data alive on its own.
  exif.reset();
  ASSERT_EQ(S_OK, reader->GetMetadataByName(L"/app1/ifd/gps/{ushort=1}", &v));
  EXPECT_STREQ("N", v.pszVal);
  PropVariantClear(&v);

  basic_lib::ComPtr<IWICMetadataQueryReader> none;
  EXPECT_EQ(E_INVALIDARG, image::CreateExifQueryReader(nullptr, &none));
  EXPECT_EQ(nullptr, none.Get());
}

// --- The marker walk ---

Bytes CameraTiff() { return Camera(false).Build(); }

TEST(JpegMetadataTest, FindsExifAmongOtherSegments) {
  const Bytes xmp = {'h', 't', 't', 'p', ':', '/', '/', 'n', 's', 0, '<', 'x', '/', '>'};
  JpegBuilder jpeg;
  jpeg.Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0})
      .Segment(0xE1, xmp)       // XMP first
      .Raw({0xFF, 0xFF, 0xFF})  // fill bytes before a marker
      .Exif(CameraTiff())
      .Exif(Camera(true).Build())  // a second Exif block is ignored
      .Segment(0xFE, {'c', 'o', 'm'})
      .Segment(0xDB, Bytes(65, 1));
  jpeg.Sos();
  image::JpegMetadata meta;
  ASSERT_TRUE(image::ReadJpegMetadataFromMemory(jpeg.bytes().data(), jpeg.bytes().size(), &meta));
  ASSERT_NE(nullptr, meta.exif);
  EXPECT_FALSE(meta.exif->big_endian());
  EXPECT_TRUE(Has(*meta.exif, {kExif, 36867}));
  EXPECT_TRUE(meta.icc_profile.empty());
}

TEST(JpegMetadataTest, DamagedHeadersEndTheWalk) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool is_jpeg;
    bool has_exif;
  };
  std::vector<Case> cases;
  {
    JpegBuilder j;
    j.Exif(CameraTiff());
    j.Sos();
    cases.push_back({"intact", j.bytes(), true, true});
    Bytes no_soi = j.bytes();
    no_soi[1] = 0xD9;
    cases.push_back({"no SOI", no_soi, false, false});
    cases.push_back({"empty", Bytes(), false, false});
    cases.push_back({"SOI only", Bytes{0xFF, 0xD8}, true, false});
    Bytes cut(j.bytes().begin(), j.bytes().begin() + 40);
    cases.push_back({"Exif segment cut short", cut, true, false});
  }
  {
    JpegBuilder j;
    j.Segment(0xE0, Bytes(4, 0)).Raw({0xFF, 0xE1, 0x00, 0x01}).Exif(CameraTiff());
    j.Sos();
    cases.push_back({"segment length below two", j.bytes(), true, false});
  }
  {
    JpegBuilder j;
    j.Segment(0xE0, Bytes(4, 0)).Raw({0x12, 0x34}).Exif(CameraTiff());
    j.Sos();
    cases.push_back({"garbage between segments", j.bytes(), true, false});
  }
  {
    JpegBuilder j;
    j.Exif(Bytes{'I', 'I'});  // an Exif segment whose TIFF header is cut
    j.Exif(CameraTiff());
    j.Sos();
    cases.push_back({"first Exif block unusable", j.bytes(), true, true});
  }
  {
    JpegBuilder j;
    j.Segment(0xE0, Bytes(4, 0));
    j.Sos();
    j.Exif(CameraTiff());  // after the scan: not a header segment
    cases.push_back({"Exif after SOS", j.bytes(), true, false});
  }
  // Other segments may push the walk only so far into the file; Exif and ICC segments read on
  // the way extend the bound by their own length.
  for (int comments : {4, 5}) {
    JpegBuilder j;
    j.Icc(1, 1, exif_test::MakeIcc(60000, 60000));
    for (int i = 0; i < comments; ++i) j.Segment(0xFE, Bytes(65000, 'c'));
    j.Exif(CameraTiff());
    j.Sos();
    cases.push_back({comments == 4 ? "Exif behind a profile and 260 KB of comments"
                                   : "Exif behind a profile and 325 KB of comments",
                     j.bytes(), true, comments == 4});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    image::JpegMetadata meta;
    EXPECT_EQ(c.is_jpeg, image::ReadJpegMetadataFromMemory(c.bytes.data(), c.bytes.size(), &meta));
    EXPECT_EQ(c.has_exif, meta.exif != nullptr);
  }
}

TEST(JpegMetadataTest, ReadsNothingBeyondTheScanMarker) {
  JpegBuilder j;
  j.Segment(0xE0, Bytes(14, 0)).Exif(CameraTiff()).Segment(0xDB, Bytes(2000, 7));
  const size_t sos = j.Sos();
  Bytes bytes = j.bytes();
  bytes.insert(bytes.end() - 2, 500000, 0x55);  // a long scan that must not be touched
  image::CMemoryByteSource memory(bytes.data(), bytes.size());
  exif_test::CountingSource source(&memory);
  image::JpegMetadata meta;
  ASSERT_TRUE(image::ReadJpegMetadata(&source, &meta));
  ASSERT_NE(nullptr, meta.exif);
  EXPECT_LE(source.end, sos + 4);
  // The quantisation table is skipped, not read.
  EXPECT_LT(source.bytes_read, CameraTiff().size() + 100);
  EXPECT_LE(source.reads, 8);
}

// The read-ahead block of the stream source must answer exactly like plain memory.
TEST(JpegMetadataTest, StreamSourceReadsLikeMemory) {
  Bytes data(50000);
  std::mt19937 rng(7);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  basic_lib::ComPtr<IStream> stream;
  stream.Attach(::SHCreateMemStream(data.data(), static_cast<UINT>(data.size())));
  ASSERT_NE(nullptr, stream.Get());
  image::CStreamByteSource from_stream(stream.Get());
  image::CMemoryByteSource from_memory(data.data(), data.size());
  const uint32_t sizes[] = {0, 1, 2, 4, 14, 100, 8191, 8193, 16384, 20000, 65535};
  for (int i = 0; i < 3000; ++i) {
    const uint32_t size = sizes[rng() % std::size(sizes)];
    uint64_t offset = rng() % (data.size() + 100);
    if (i % 4 == 0) offset = data.size() - rng() % 40;  // around the end
    Bytes a(size, 0xAA), b(size, 0xAA);
    const bool ok_stream = from_stream.ReadAt(offset, a.data(), size);
    const bool ok_memory = from_memory.ReadAt(offset, b.data(), size);
    ASSERT_EQ(ok_memory, ok_stream) << offset << " " << size;
    if (ok_memory) {
      ASSERT_EQ(b, a) << offset << " " << size;
    }
  }
}

// --- ICC profiles ---

TEST(JpegMetadataTest, AssemblesIccChunks) {
  const Bytes icc = exif_test::MakeIcc(3000, 3000);
  const Bytes a(icc.begin(), icc.begin() + 1000), b(icc.begin() + 1000, icc.begin() + 2500),
      c(icc.begin() + 2500, icc.end());
  struct Case {
    const char* name;
    std::vector<std::pair<std::pair<uint8_t, uint8_t>, Bytes>> chunks;  // (sequence, total)
    Bytes expected;
  };
  const Bytes padded = [&] {
    Bytes p = icc;
    p.insert(p.end(), 13, 0);
    return p;
  }();
  const Bytes short_declared = exif_test::MakeIcc(3000, 100);
  const Bytes long_declared = exif_test::MakeIcc(3000, 3001);
  const Case cases[] = {
      {"one chunk", {{{1, 1}, icc}}, icc},
      {"three chunks", {{{1, 3}, a}, {{2, 3}, b}, {{3, 3}, c}}, icc},
      {"three chunks out of order", {{{3, 3}, c}, {{1, 3}, a}, {{2, 3}, b}}, icc},
      {"padding after the declared size", {{{1, 1}, padded}}, icc},
      {"middle chunk missing", {{{1, 3}, a}, {{3, 3}, c}}, {}},
      {"last chunk missing", {{{1, 3}, a}, {{2, 3}, b}}, {}},
      {"duplicate chunk", {{{1, 3}, a}, {{2, 3}, b}, {{2, 3}, b}, {{3, 3}, c}}, {}},
      {"counts disagree", {{{1, 3}, a}, {{2, 4}, b}, {{3, 3}, c}}, {}},
      {"sequence zero", {{{0, 1}, icc}}, {}},
      {"sequence past the count", {{{2, 1}, icc}}, {}},
      {"count zero", {{{1, 0}, icc}}, {}},
      {"declared size below a header", {{{1, 1}, short_declared}}, {}},
      {"declared size past the data", {{{1, 1}, long_declared}}, {}},
      {"shorter than a header", {{{1, 1}, Bytes(icc.begin(), icc.begin() + 100)}}, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    JpegBuilder j;
    j.Exif(CameraTiff());
    for (const auto& chunk : k.chunks) j.Icc(chunk.first.first, chunk.first.second, chunk.second);
    j.Sos();
    image::JpegMetadata meta;
    ASSERT_TRUE(image::ReadJpegMetadataFromMemory(j.bytes().data(), j.bytes().size(), &meta));
    EXPECT_EQ(k.expected, meta.icc_profile);
    EXPECT_NE(nullptr, meta.exif);  // a bad profile does not cost the EXIF block
  }

  // A file that ends inside the last chunk.
  JpegBuilder j;
  j.Icc(1, 2, a).Icc(2, 2, Bytes(icc.begin() + 1000, icc.end()));
  const Bytes cut(j.bytes().begin(), j.bytes().end() - 10);
  image::JpegMetadata meta;
  ASSERT_TRUE(image::ReadJpegMetadataFromMemory(cut.data(), cut.size(), &meta));
  EXPECT_TRUE(meta.icc_profile.empty());
}

}  // namespace
