// The EXIF reader over pictures that exiftool wrote, checked against what exiftool reads back.

#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <math.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "basic_lib/com_ptr.h"
#include "image/exif_query_reader.h"
#include "image/exif_reader.h"
#include "unit/image/exif_test_util.h"

using exif_test::Bytes;
using exif_test::GuardedArena;
using image::ExifDirectory;
using image::ExifField;

namespace {

std::wstring Fixture(const wchar_t* name) {
  return std::wstring(LUMORA_FIXTURES_DIR) + L"/exif_files/" + name;
}

bool ReadAll(const std::wstring& path, Bytes* out) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return false;
  out->clear();
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), f)) > 0)
    out->insert(out->end(), buffer, buffer + got);
  fclose(f);
  return true;
}

struct CJsonDeleter {
  void operator()(cJSON* json) const { cJSON_Delete(json); }
};
using Json = std::unique_ptr<cJSON, CJsonDeleter>;

Json LoadJson(const std::wstring& path) {
  Bytes text;
  if (!ReadAll(path, &text)) return nullptr;
  text.push_back(0);
  return Json(cJSON_Parse(reinterpret_cast<const char*>(text.data())));
}

std::wstring QueryPath(ExifDirectory dir, uint16_t tag) {
  static const wchar_t* const kPrefix[] = {L"/app1/ifd/{ushort=", L"/app1/ifd/exif/{ushort=",
                                           L"/app1/ifd/gps/{ushort="};
  return kPrefix[static_cast<int>(dir)] + std::to_wstring(tag) + L"}";
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> tokens;
  size_t at = 0;
  while (at < text.size()) {
    const size_t space = text.find(' ', at);
    const size_t end = space == std::string::npos ? text.size() : space;
    if (end > at) tokens.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return tokens;
}

// One element of a numeric value as exiftool's -n output shows it.
void ExpectNumber(const std::string& exiftool, double value, bool undefined, bool infinite) {
  if (undefined) {
    EXPECT_EQ("undef", exiftool);
    return;
  }
  if (infinite) {
    EXPECT_EQ("inf", exiftool);
    return;
  }
  const double want = atof(exiftool.c_str());
  EXPECT_NEAR(want, value, 1e-9 * (fabs(want) > 1 ? fabs(want) : 1)) << exiftool;
}

// Compares what our reader answers for one tag with exiftool's value; false for types exiftool
// interprets on its own (UNDEFINED).
bool CompareWithExiftool(const PROPVARIANT& v, const cJSON* val) {
  std::string text;
  if (cJSON_IsString(val)) {
    text = val->valuestring;
  } else if (cJSON_IsNumber(val)) {
    char number[64];
    snprintf(number, sizeof(number), "%.17g", val->valuedouble);
    text = number;
  } else {
    ADD_FAILURE() << "unexpected JSON value";
    return false;
  }
  if (v.vt == VT_LPSTR) {
    EXPECT_EQ(text, v.pszVal);
    return true;
  }
  if (v.vt == VT_BLOB) return false;
  const std::vector<std::string> tokens = Split(text);
  const bool vector = (v.vt & VT_VECTOR) != 0;
  const VARTYPE base = static_cast<VARTYPE>(v.vt & ~VT_VECTOR);
  const ULONG count = vector ? v.caub.cElems : 1;
  EXPECT_EQ(count, tokens.size()) << text;
  if (count != tokens.size()) return true;
  for (ULONG i = 0; i < count; ++i) {
    switch (base) {
      case VT_UI1:
        ExpectNumber(tokens[i], vector ? v.caub.pElems[i] : v.bVal, false, false);
        break;
      case VT_UI2:
        ExpectNumber(tokens[i], vector ? v.caui.pElems[i] : v.uiVal, false, false);
        break;
      case VT_UI4:
        ExpectNumber(tokens[i], vector ? v.caul.pElems[i] : v.ulVal, false, false);
        break;
      case VT_UI8: {
        const uint64_t bits = vector ? v.cauh.pElems[i].QuadPart : v.uhVal.QuadPart;
        const uint32_t num = static_cast<uint32_t>(bits), den = static_cast<uint32_t>(bits >> 32);
        ExpectNumber(tokens[i], den ? static_cast<double>(num) / den : 0, !den && !num,
                     !den && num);
        break;
      }
      default:
        ADD_FAILURE() << "unexpected type " << v.vt;
    }
  }
  return true;
}

struct PhotoCase {
  const wchar_t* file;
  const wchar_t* json;
  bool big_endian;
};

const PhotoCase kPhotos[] = {
    {L"photo_ii.jpg", L"photo_ii.json", false},
    {L"photo_mm.jpg", L"photo_mm.json", true},
};

TEST(ExifFilesTest, EveryTagAgreesWithExiftool) {
  for (const PhotoCase& photo : kPhotos) {
    SCOPED_TRACE(testing::Message() << "file " << photo.file);
    image::JpegMetadata meta;
    ASSERT_TRUE(image::ReadJpegMetadataFromFile(Fixture(photo.file), &meta));
    ASSERT_NE(nullptr, meta.exif);
    EXPECT_EQ(photo.big_endian, meta.exif->big_endian());
    basic_lib::ComPtr<IWICMetadataQueryReader> reader;
    ASSERT_EQ(S_OK, image::CreateExifQueryReader(meta.exif, &reader));

    const Json json = LoadJson(Fixture(photo.json));
    ASSERT_NE(nullptr, json);
    const cJSON* tags = cJSON_GetArrayItem(json.get(), 0);
    ASSERT_NE(nullptr, tags);
    const cJSON* order = cJSON_GetObjectItemCaseSensitive(tags, "File:ExifByteOrder");
    ASSERT_NE(nullptr, order);
    EXPECT_STREQ(photo.big_endian ? "MM" : "II",
                 cJSON_GetObjectItemCaseSensitive(order, "val")->valuestring);

    struct Group {
      const char* prefix;
      ExifDirectory dir;
    };
    const Group groups[] = {{"IFD0:", ExifDirectory::kMain},
                            {"ExifIFD:", ExifDirectory::kExif},
                            {"GPS:", ExifDirectory::kGps}};
    int compared = 0;
    std::vector<std::pair<int, int>> listed;  // (directory, tag) that exiftool reported
    for (const cJSON* item = tags->child; item; item = item->next) {
      const Group* group = nullptr;
      for (const Group& g : groups) {
        if (strncmp(item->string, g.prefix, strlen(g.prefix)) == 0) group = &g;
      }
      if (!group) continue;
      const cJSON* id = cJSON_GetObjectItemCaseSensitive(item, "id");
      const cJSON* val = cJSON_GetObjectItemCaseSensitive(item, "val");
      ASSERT_TRUE(cJSON_IsNumber(id)) << item->string;
      const uint16_t tag = static_cast<uint16_t>(id->valueint);
      listed.push_back({static_cast<int>(group->dir), tag});
      SCOPED_TRACE(item->string);
      PROPVARIANT v;
      ASSERT_EQ(S_OK, reader->GetMetadataByName(QueryPath(group->dir, tag).c_str(), &v));
      if (CompareWithExiftool(v, val)) ++compared;
      PropVariantClear(&v);
    }
    EXPECT_GE(compared, 24);

    // And nothing that exiftool does not see, apart from the links between directories.
    for (int d = 0; d < 3; ++d) {
      const ExifDirectory dir = static_cast<ExifDirectory>(d);
      for (uint16_t i = 0; i < meta.exif->EntryCount(dir); ++i) {
        uint16_t tag = 0;
        ExifField field;
        meta.exif->EntryAt(dir, i, &tag, &field);
        if (d == 0 && (tag == image::kExifTagExifPointer || tag == image::kExifTagGpsPointer))
          continue;
        bool found = false;
        for (const auto& l : listed) found |= l.first == d && l.second == tag;
        EXPECT_TRUE(found) << "directory " << d << " tag " << tag;
      }
    }
  }
}

// The values the fixture script wrote, as stored: rationals unreduced, in the system's types.
struct RawCase {
  const wchar_t* file;
  const wchar_t* query;
  VARTYPE vt;
  std::vector<std::pair<uint32_t, uint32_t>> rationals;  // or one integer as (value, 0)
  const char* text;
};

const RawCase kRawCases[] = {
    {L"photo_ii.jpg", L"/app1/ifd/{ushort=271}", VT_LPSTR, {}, "LumoCam"},
    {L"photo_ii.jpg", L"/app1/ifd/{ushort=272}", VT_LPSTR, {}, "LC-1 Mark II"},
    {L"photo_ii.jpg", L"/app1/ifd/{ushort=274}", VT_UI2, {{6, 0}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=36867}", VT_LPSTR, {}, "2019:05:04 13:02:09"},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=42036}", VT_LPSTR, {}, "LC 24-70mm F2.8"},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=33437}", VT_UI8, {{28, 10}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=37381}", VT_UI8, {{297, 100}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=33434}", VT_UI8, {{10, 2500}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=34855}", VT_UI2, {{400, 0}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=37386}", VT_UI8, {{50, 1}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=37383}", VT_UI2, {{5, 0}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=37385}", VT_UI2, {{16, 0}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=41987}", VT_UI2, {{1, 0}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/exif/{ushort=34850}", VT_UI2, {{2, 0}}, nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/gps/{ushort=1}", VT_LPSTR, {}, "N"},
    {L"photo_ii.jpg",
     L"/app1/ifd/gps/{ushort=2}",
     VT_VECTOR | VT_UI8,
     {{39, 1}, {54, 1}, {1512, 100}},
     nullptr},
    {L"photo_ii.jpg", L"/app1/ifd/gps/{ushort=3}", VT_LPSTR, {}, "E"},
    {L"photo_ii.jpg",
     L"/app1/ifd/gps/{ushort=4}",
     VT_VECTOR | VT_UI8,
     {{116, 1}, {24, 1}, {2662, 100}},
     nullptr},
    {L"photo_mm.jpg", L"/app1/ifd/{ushort=271}", VT_LPSTR, {}, "Other Maker Inc."},
    {L"photo_mm.jpg", L"/app1/ifd/{ushort=274}", VT_UI2, {{8, 0}}, nullptr},
    {L"photo_mm.jpg", L"/app1/ifd/exif/{ushort=33437}", VT_UI8, {{0, 0}}, nullptr},
    {L"photo_mm.jpg", L"/app1/ifd/exif/{ushort=33434}", VT_UI8, {{1, 250}}, nullptr},
    {L"photo_mm.jpg", L"/app1/ifd/exif/{ushort=37386}", VT_UI8, {{135, 10}}, nullptr},
    {L"photo_mm.jpg", L"/app1/ifd/exif/{ushort=34855}", VT_UI2, {{3200, 0}}, nullptr},
    {L"photo_mm.jpg", L"/app1/ifd/exif/{ushort=37385}", VT_UI2, {{0, 0}}, nullptr},
    {L"photo_mm.jpg", L"/app1/ifd/gps/{ushort=1}", VT_LPSTR, {}, "S"},
    {L"photo_mm.jpg",
     L"/app1/ifd/gps/{ushort=2}",
     VT_VECTOR | VT_UI8,
     {{22, 1}, {54, 1}, {30, 1}},
     nullptr},
    {L"photo_mm.jpg", L"/app1/ifd/gps/{ushort=3}", VT_LPSTR, {}, "W"},
};

TEST(ExifFilesTest, StoredValuesInTheSystemTypes) {
  for (const RawCase& c : kRawCases) {
    SCOPED_TRACE(testing::Message() << c.file << " " << c.query);
    image::JpegMetadata meta;
    ASSERT_TRUE(image::ReadJpegMetadataFromFile(Fixture(c.file), &meta));
    basic_lib::ComPtr<IWICMetadataQueryReader> reader;
    ASSERT_EQ(S_OK, image::CreateExifQueryReader(meta.exif, &reader));
    PROPVARIANT v;
    ASSERT_EQ(S_OK, reader->GetMetadataByName(c.query, &v));
    ASSERT_EQ(c.vt, v.vt);
    auto rational = [](const std::pair<uint32_t, uint32_t>& r) {
      return uint64_t{r.second} << 32 | r.first;
    };
    switch (c.vt) {
      case VT_LPSTR:
        EXPECT_STREQ(c.text, v.pszVal);
        break;
      case VT_UI2:
        EXPECT_EQ(c.rationals[0].first, v.uiVal);
        break;
      case VT_UI8:
        EXPECT_EQ(rational(c.rationals[0]), v.uhVal.QuadPart);
        break;
      case VT_VECTOR | VT_UI8:
        ASSERT_EQ(c.rationals.size(), v.cauh.cElems);
        for (size_t i = 0; i < c.rationals.size(); ++i)
          EXPECT_EQ(rational(c.rationals[i]), v.cauh.pElems[i].QuadPart) << i;
        break;
    }
    PropVariantClear(&v);
  }
}

TEST(ExifFilesTest, IccProfileFromThreeChunks) {
  Bytes expected;
  ASSERT_TRUE(ReadAll(Fixture(L"big.icc"), &expected));
  ASSERT_EQ(150000u, expected.size());
  image::JpegMetadata meta;
  ASSERT_TRUE(image::ReadJpegMetadataFromFile(Fixture(L"icc.jpg"), &meta));
  EXPECT_EQ(nullptr, meta.exif);
  EXPECT_TRUE(meta.icc_profile == expected);
}

TEST(ExifFilesTest, FilesWithoutJpegExif) {
  image::JpegMetadata meta;
  EXPECT_TRUE(image::ReadJpegMetadataFromFile(Fixture(L"plain.jpg"), &meta));
  EXPECT_EQ(nullptr, meta.exif);
  EXPECT_TRUE(meta.icc_profile.empty());
  // The PNG holds EXIF of its own, which is not what we look for.
  EXPECT_FALSE(image::ReadJpegMetadataFromFile(Fixture(L"photo.png"), &meta));
  EXPECT_EQ(nullptr, meta.exif);
  EXPECT_FALSE(image::ReadJpegMetadataFromFile(Fixture(L"missing.jpg"), &meta));
}

double MicrosecondsPer(int runs, const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart / runs;
}

TEST(ExifFilesTest, OpeningIsCheap) {
  const std::wstring path = Fixture(L"photo_ii.jpg");
  Bytes file;
  ASSERT_TRUE(ReadAll(path, &file));
  image::JpegMetadata meta;
  {
    basic_lib::ComPtr<IStream> stream;
    ASSERT_EQ(S_OK, ::SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE,
                                             FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream));
    image::CStreamByteSource stream_source(stream.Get());
    exif_test::CountingSource counting(&stream_source);
    ASSERT_TRUE(image::ReadJpegMetadata(&counting, &meta));
    ASSERT_NE(nullptr, meta.exif);
    printf("[ measure  ] %d reads, %llu of %zu bytes, last byte read at %llu\n", counting.reads,
           static_cast<unsigned long long>(counting.bytes_read), file.size(),
           static_cast<unsigned long long>(counting.end));
    EXPECT_LT(counting.bytes_read, 2048u);
  }
  const int kRuns = 200;
  LARGE_INTEGER start, end;
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < kRuns; ++i) image::ReadJpegMetadataFromFile(path, &meta);
  ::QueryPerformanceCounter(&end);
  const double from_file = MicrosecondsPer(kRuns, start, end);
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < kRuns; ++i) {
    basic_lib::ComPtr<IStream> stream;
    ::SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL,
                             FALSE, nullptr, &stream);
  }
  ::QueryPerformanceCounter(&end);
  const double open_only = MicrosecondsPer(kRuns, start, end);
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < kRuns; ++i)
    image::ReadJpegMetadataFromMemory(file.data(), file.size(), &meta);
  ::QueryPerformanceCounter(&end);
  const double in_memory = MicrosecondsPer(kRuns, start, end);
  printf(
      "[ measure  ] 4000x3000 JPEG: %.1f us open+walk, %.1f us open alone, %.1f us walk "
      "from memory\n",
      from_file, open_only, in_memory);
  ASSERT_NE(nullptr, meta.exif);
}

// --- Mutated blocks ---

size_t VariantBytes(const PROPVARIANT& v) {
  if (v.vt == VT_LPSTR) return strlen(v.pszVal);
  if (v.vt == VT_BLOB) return v.blob.cbSize;
  size_t element = 0;
  switch (v.vt & ~VT_VECTOR) {
    case VT_UI1:
    case VT_I1:
      element = 1;
      break;
    case VT_UI2:
    case VT_I2:
      element = 2;
      break;
    case VT_UI4:
    case VT_I4:
    case VT_R4:
      element = 4;
      break;
    default:
      element = 8;
  }
  return (v.vt & VT_VECTOR) ? element * v.caub.cElems : element;
}

const uint16_t kRecordTags[][2] = {{0, 271},   {0, 272},   {0, 274},   {1, 36867}, {1, 42036},
                                   {1, 33437}, {1, 37381}, {1, 33434}, {1, 34855}, {1, 37386},
                                   {1, 37383}, {1, 37385}, {1, 41987}, {1, 34850}, {2, 1},
                                   {2, 2},     {2, 3},     {2, 4}};

TEST(ExifFuzzTest, MutatedSegmentsStayInsideTheirBytes) {
  GuardedArena arena;
  ASSERT_TRUE(arena.ok());
  std::vector<Bytes> seeds;
  for (const PhotoCase& photo : kPhotos) {
    image::JpegMetadata meta;
    ASSERT_TRUE(image::ReadJpegMetadataFromFile(Fixture(photo.file), &meta));
    ASSERT_NE(nullptr, meta.exif);
    seeds.emplace_back(meta.exif->data(), meta.exif->data() + meta.exif->size());
  }

  std::mt19937 rng(0x5eed1234u);
  auto below = [&rng](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
  int parsed = 0, rejected = 0, values = 0;
  const int kRounds = 4000;
  for (int round = 0; round < kRounds; ++round) {
    Bytes m = seeds[round % seeds.size()];
    const bool be = m[0] == 'M';
    const uint32_t size = static_cast<uint32_t>(m.size());
    const uint32_t interesting[] = {0,        1,          2,          8,          0xFF,
                                    0xFFFF,   0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, size,
                                    size - 1, size - 4,   size - 8,   size - 12,  0x20000000};
    const int edits = 1 + static_cast<int>(below(6));
    for (int e = 0; e < edits && !m.empty(); ++e) {
      // Most edits land in the directories near the start, where offsets and counts live.
      const size_t span = below(4) ? (m.size() < 200 ? m.size() : 200) : m.size();
      switch (below(6)) {
        case 0:
          m[below(span)] = static_cast<uint8_t>(rng());
          break;
        case 1:
          m[below(span)] ^= static_cast<uint8_t>(1u << below(8));
          break;
        case 2:
          if (m.size() >= 2) {
            const size_t at = below(span - 1 > 0 ? span - 1 : 1);
            exif_test::Put16(&m, at, static_cast<uint16_t>(interesting[below(15)]), be);
          }
          break;
        case 3:
        case 4:
          if (m.size() >= 4) {
            const size_t at = below(span > 4 ? span - 3 : 1);
            if (at + 4 <= m.size()) exif_test::Put32(&m, at, interesting[below(15)], be);
          }
          break;
        case 5:
          m.resize(below(m.size()));
          break;
      }
    }

    const uint8_t* at = arena.Place(m);
    auto exif = std::make_shared<image::CExifData>();
    if (!exif->ParseView(at, m.size())) {
      ++rejected;
      continue;
    }
    ++parsed;
    basic_lib::ComPtr<IWICMetadataQueryReader> reader;
    ASSERT_EQ(S_OK, image::CreateExifQueryReader(exif, &reader));
    auto query = [&](int dir, uint16_t tag) {
      PROPVARIANT v;
      const std::wstring path = QueryPath(static_cast<ExifDirectory>(dir), tag);
      if (reader->GetMetadataByName(path.c_str(), &v) != S_OK) return;
      ++values;
      EXPECT_LE(VariantBytes(v), m.size()) << round;
      PropVariantClear(&v);
    };
    for (int d = 0; d < 3; ++d) {
      const ExifDirectory dir = static_cast<ExifDirectory>(d);
      for (uint16_t i = 0; i < exif->EntryCount(dir); ++i) {
        uint16_t tag = 0;
        ExifField field;
        if (exif->EntryAt(dir, i, &tag, &field)) {
          ASSERT_GE(field.data, at);
          ASSERT_LE(field.data + field.byte_size(), at + m.size());
        }
        query(d, tag);
      }
    }
    for (const auto& t : kRecordTags) query(t[0], t[1]);

    // The same block inside a JPEG, followed by an ICC chunk with a damaged header.
    exif_test::JpegBuilder jpeg;
    jpeg.Exif(m).Icc(static_cast<uint8_t>(below(3)), static_cast<uint8_t>(below(3)),
                     exif_test::MakeIcc(200, 200));
    jpeg.Sos();
    Bytes file = jpeg.bytes();
    if (round % 3 == 0) file.resize(below(file.size()));
    const uint8_t* file_at = arena.Place(file);
    image::JpegMetadata meta;
    image::ReadJpegMetadataFromMemory(file_at, file.size(), &meta);
    if (!meta.icc_profile.empty()) {
      EXPECT_EQ(200u, meta.icc_profile.size());
    }
  }
  printf("[ measure  ] %d mutated blocks: %d parsed (%d values read), %d rejected\n", kRounds,
         parsed, values, rejected);
  EXPECT_GT(parsed, kRounds / 4);
  EXPECT_GT(rejected, 0);
}

}  // namespace
