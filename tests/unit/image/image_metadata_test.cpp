#include "image/image_metadata.h"

#include <gtest/gtest.h>

#include "basic_lib/com_ptr.h"
#include "fake_query_reader.h"

namespace {

using Fake = FakeQueryReader;

const wchar_t* Main(int tag) {
  static wchar_t buffer[8][64];
  static int next = 0;
  wchar_t* b = buffer[next++ % 8];
  swprintf(b, 64, L"/app1/ifd/{ushort=%d}", tag);
  return b;
}
std::wstring Exif(int tag) { return L"/app1/ifd/exif/{ushort=" + std::to_wstring(tag) + L"}"; }
std::wstring Gps(int tag) { return L"/app1/ifd/gps/{ushort=" + std::to_wstring(tag) + L"}"; }

basic_lib::ComPtr<Fake> NewReader() {
  basic_lib::ComPtr<Fake> reader;
  reader.Attach(new Fake());
  return reader;
}

ImageMetadata Read(Fake* reader, double dpi = 0.0) {
  ImageMetadata info;
  image::ReadMetadata(reader, dpi, &info);
  return info;
}

TEST(ImageMetadataTest, FullCameraRecordInReadingOrder) {
  auto r = NewReader();
  r->Set(Exif(36867), Fake::Ansi("2019:05:04 13:02:09"));
  r->Set(Main(271), Fake::Ansi("LumoraCam"));
  r->Set(Main(272), Fake::Wide(L"Model \x00e9"));
  r->Set(Exif(42036), Fake::AnsiVector({"Lens 50mm", "second"}));
  r->Set(Exif(33437), Fake::Rational(28, 10));
  r->Set(Exif(37381), Fake::Rational(297, 100));
  r->Set(Exif(33434), Fake::Rational(10, 2500));
  r->Set(Exif(34855), Fake::UShort(200));
  r->Set(Exif(37386), Fake::Rational(50, 1));
  r->Set(Exif(37383), Fake::UShort(5));
  r->Set(Exif(37385), Fake::UShort(16));
  r->Set(Exif(41987), Fake::UShort(0));
  r->Set(Exif(34850), Fake::UShort(2));
  r->Set(Main(274), Fake::UShort(6));
  const ImageMetadata info = Read(r.Get(), 71.99);
  EXPECT_EQ(info.date_taken, L"2019:05:04 13:02:09");
  EXPECT_EQ(info.maker, L"LumoraCam");
  EXPECT_EQ(info.model, L"Model \x00e9");
  EXPECT_EQ(info.lens, L"Lens 50mm");
  EXPECT_EQ(info.f_number, L"2.8");
  EXPECT_EQ(info.max_aperture, L"3.0");
  EXPECT_EQ(info.exposure_time, L"10/2500");  // never reduced
  EXPECT_EQ(info.iso, L"200");
  EXPECT_EQ(info.focal_length, L"50.0");
  EXPECT_EQ(info.metering_mode, L"5");
  EXPECT_EQ(info.flash, L"16");
  EXPECT_EQ(info.white_balance, L"0");
  EXPECT_EQ(info.exposure_program, L"2");
  EXPECT_EQ(info.orientation, 6);
  EXPECT_EQ(info.resolution, 72);
  EXPECT_TRUE(info.gps.empty());

  const std::vector<std::wstring> expected_order = {
      Exif(36867), Gps(2),      Main(271),   Main(272),   Exif(42036),
      Exif(33437), Exif(37381), Exif(33434), Exif(34855), Exif(37386),
      Exif(37383), Exif(37385), Exif(41987), Exif(34850), Main(274)};
  EXPECT_EQ(r->Queries(), expected_order);
}

TEST(ImageMetadataTest, TypeRules) {
  struct Case {
    Fake::Maker value;
    std::wstring text, shorttext, rational, fraction;
  } cases[] = {
      {Fake::Ansi("abc"), L"abc", L"", L"0.0", L""},
      {Fake::Wide(L"wide"), L"wide", L"", L"0.0", L""},
      {Fake::AnsiVector({"first", "x"}), L"first", L"", L"0.0", L""},
      {Fake::AnsiVector({}), L"", L"", L"0.0", L""},
      {Fake::UShort(65535), L"", L"65535", L"0.0", L""},
      {Fake::ULong(7), L"", L"", L"0.0", L""},  // a long is not formatted as "%d"
      {Fake::Rational(1, 250), L"", L"", L"0.0", L"1/250"},
      {Fake::Rational(28, 10), L"", L"", L"2.8", L"28/10"},
      {Fake::Rational(0, 0), L"", L"", L"0.0", L"0/0"},
      {Fake::Rational(4000000000u, 1), L"", L"", L"4000000000.0", L"4000000000/1"},
      {Fake::SignedRational(-1, 3), L"", L"", L"0.0", L""},
  };
  for (const Case& c : cases) {
    PROPVARIANT v;
    ::PropVariantInit(&v);
    c.value(&v);
    EXPECT_EQ(image::PropVariantToText(v), c.text) << c.text;
    EXPECT_EQ(image::PropVariantToShortText(v), c.shorttext) << c.text;
    EXPECT_EQ(image::PropVariantToRationalText(v), c.rational) << c.text;
    EXPECT_EQ(image::PropVariantToFractionText(v), c.fraction) << c.text;
    ::PropVariantClear(&v);
  }
}

TEST(ImageMetadataTest, GpsPosition) {
  auto beijing = [](Fake* r, const char* lat_ref, const char* lon_ref) {
    r->Set(Gps(2), Fake::RationalVector({{39, 1}, {54, 1}, {1512, 100}}));
    r->Set(Gps(1), Fake::Ansi(lat_ref));
    r->Set(Gps(4), Fake::RationalVector({{116, 1}, {24, 1}, {2662, 100}}));
    r->Set(Gps(3), Fake::Ansi(lon_ref));
  };
  {
    auto r = NewReader();
    beijing(r.Get(), "N", "E");
    EXPECT_EQ(Read(r.Get()).gps, L"39.904202,116.407394");
  }
  {
    auto r = NewReader();
    beijing(r.Get(), "s", "w");  // references compare without case
    EXPECT_EQ(Read(r.Get()).gps, L"-39.904202,-116.407394");
  }
  {
    auto r = NewReader();  // latitude only: no position, and the longitude is still asked for
    r->Set(Gps(2), Fake::RationalVector({{39, 1}, {54, 1}, {1512, 100}}));
    EXPECT_TRUE(Read(r.Get()).gps.empty());
    bool asked = false;
    for (auto& q : r->Queries()) asked |= q == Gps(4);
    EXPECT_TRUE(asked);
  }
  {
    auto r = NewReader();  // no latitude: the longitude is never read
    r->Set(Gps(4), Fake::RationalVector({{116, 1}, {24, 1}, {2662, 100}}));
    EXPECT_TRUE(Read(r.Get()).gps.empty());
    for (auto& q : r->Queries()) EXPECT_NE(q, Gps(4));
  }
  {
    auto r = NewReader();  // present but malformed coordinates count as 0
    r->Set(Gps(2), Fake::RationalVector({{39, 1}, {54, 0}, {1512, 100}}));
    r->Set(Gps(1), Fake::Ansi("S"));
    r->Set(Gps(4), Fake::RationalVector({{116, 1}, {24, 1}}));
    EXPECT_EQ(Read(r.Get()).gps, L"0.000000,0.000000");
  }
}

TEST(ImageMetadataTest, OrientationAndEmptyReader) {
  struct Case {
    Fake::Maker value;
    int expected;
  } cases[] = {{Fake::UShort(8), 8}, {Fake::UShort(1), 1}, {Fake::UShort(0), 0},
               {Fake::UShort(9), 0}, {Fake::ULong(6), 0},  {Fake::Ansi("6"), 0}};
  for (const Case& c : cases) {
    auto r = NewReader();
    r->Set(Main(274), c.value);
    EXPECT_EQ(Read(r.Get()).orientation, c.expected);
  }
  auto empty = NewReader();
  const ImageMetadata info = Read(empty.Get(), 0.0);
  EXPECT_TRUE(info.date_taken.empty());
  EXPECT_TRUE(info.f_number.empty());  // missing values stay empty, never "0.0"
  EXPECT_EQ(info.orientation, 0);
  EXPECT_EQ(info.resolution, 0);
  ImageMetadata untouched;
  image::ReadMetadata(nullptr, 96.0, &untouched);
  EXPECT_EQ(untouched.resolution, 0);
}

}  // namespace
