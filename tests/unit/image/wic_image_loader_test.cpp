#include "image/wic_image_loader.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "basic_lib/scoped_handle.h"
#include "fake_query_reader.h"
#include "image/obj_image.h"
#include "test_support.h"

namespace {

using basic_lib::ComPtr;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new image_test::ImagingEnvironment);

std::wstring Fixture(const std::wstring& name) {
  return std::wstring(LUMORA_FIXTURES_DIR) + L"/loader_files/" + name;
}

// Options whose metadata reader reports the given EXIF orientation for every file.
image::LoaderOptions WithOrientation(int orientation) {
  image::LoaderOptions options;
  options.query_reader = [orientation](const std::wstring&, IWICBitmapDecoder*,
                                       IWICBitmapFrameDecode*) {
    ComPtr<FakeQueryReader> reader;
    reader.Attach(new FakeQueryReader());
    reader->Set(L"/app1/ifd/{ushort=274}",
                FakeQueryReader::UShort(static_cast<USHORT>(orientation)));
    return ComPtr<IWICMetadataQueryReader>(reader.Get());
  };
  return options;
}

// Where stored pixel (x, y) of a w x h picture is shown for each EXIF orientation.
POINT Displayed(int o, int x, int y, int w, int h) {
  switch (o) {
    case 2:
      return {w - 1 - x, y};
    case 3:
      return {w - 1 - x, h - 1 - y};
    case 4:
      return {x, h - 1 - y};
    case 5:
      return {y, x};
    case 6:
      return {h - 1 - y, x};
    case 7:
      return {h - 1 - y, w - 1 - x};
    case 8:
      return {y, w - 1 - x};
    default:
      return {x, y};
  }
}

std::vector<DWORD> Pixels(IWICBitmapSource* source, UINT* w, UINT* h) {
  std::vector<DWORD> px;
  ComPtr<IWICBitmapSource> converted;
  if (!source ||
      FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, source, &converted)) ||
      FAILED(converted->GetSize(w, h))) {
    return px;
  }
  px.resize(*w * *h);
  if (FAILED(converted->CopyPixels(nullptr, *w * 4, *w * *h * 4,
                                   reinterpret_cast<BYTE*>(px.data())))) {
    px.clear();
  }
  for (DWORD& p : px) p &= 0xFFFFFF;
  return px;
}

TEST(WicImageLoaderTest, OpensEachFormatWithItsSize) {
  struct Case {
    const wchar_t* name;
    LONG w, h;
  } cases[] = {{L"good.bmp", 31, 17}, {L"good.jpg", 40, 30}, {L"good.gif", 33, 21},
               {L"good.tif", 25, 19}, {L"good.png", 27, 13}, {L"good.ico", 256, 256}};
  for (const Case& c : cases) {
    auto loader = CWICImageLoader::OpenImage(Fixture(c.name));
    ASSERT_TRUE(loader) << c.name;
    EXPECT_NE(loader->GetDecoder(), nullptr) << c.name;
    EXPECT_EQ(loader->GetSize().cx, c.w) << c.name;
    EXPECT_EQ(loader->GetSize().cy, c.h) << c.name;
    EXPECT_EQ(loader->GetInfo().orientation, 0) << c.name;
  }
}

TEST(WicImageLoaderTest, OrientationDrivesTheDisplayedSizeAndRotateCycles) {
  auto loader = CWICImageLoader::OpenImage(Fixture(L"big6.jpg"), WithOrientation(6));
  ASSERT_TRUE(loader);
  EXPECT_EQ(loader->GetInfo().orientation, 6);  // Windows 10 always honours the tag
  EXPECT_EQ(loader->GetSize().cx, 3000);
  EXPECT_EQ(loader->GetSize().cy, 4000);
  EXPECT_EQ(loader->GetTransform(), WICBitmapTransformRotate90);
  for (int i = 0; i < 3; ++i) loader->Rotate(true);
  EXPECT_EQ(loader->GetOrientation(), 1);
  EXPECT_EQ(loader->GetSize().cx, 4000);
  EXPECT_EQ(loader->Rotate(true), 6);
  EXPECT_EQ(loader->GetInfo().orientation, 6);

  auto plain = CWICImageLoader::OpenImage(Fixture(L"good.png"));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->Rotate(true), 6);  // orientation 0 counts as 1
  EXPECT_EQ(plain->GetSize().cx, 13);
  EXPECT_EQ(plain->Rotate(false), 1);
}

TEST(WicImageLoaderTest, RealExifFileFillsTheRecordOnEitherReader) {
  // Windows reads the EXIF block itself; where the system reader has none (Wine) our own reader
  // of the file's APP1 segment answers the same paths.
  auto loader = CWICImageLoader::OpenImage(Fixture(L"exif.jpg"));
  ASSERT_TRUE(loader);
  const ImageMetadata& info = loader->GetInfo();
  EXPECT_EQ(info.maker, L"LumoraCam");
  EXPECT_EQ(info.model, L"Model X");
  EXPECT_EQ(info.f_number, L"2.8");
  EXPECT_EQ(info.exposure_time, L"1/250");
  EXPECT_EQ(info.iso, L"200");
  EXPECT_EQ(info.date_taken, L"2019:05:04 13:02:09");
  // exiftool stores 15.1272 seconds as 18909/1250, which in 32-bit float arithmetic ends at
  // ...205; 1512/100 seconds (photo_ii.jpg below) gives 39.904202.
  EXPECT_EQ(info.gps, L"39.904205,116.407394");
  EXPECT_EQ(info.orientation, 6);
  EXPECT_EQ(info.resolution, 300);  // JFIF density, read from the frame itself
}

std::wstring ExifFixture(const wchar_t* name) {
  return std::wstring(LUMORA_FIXTURES_DIR) + L"/exif_files/" + name;
}

TEST(WicImageLoaderTest, CameraRecordOfExiftoolFiles) {
  struct Case {
    const wchar_t* file;
    LONG w, h;  // displayed
    ImageMetadata want;
  };
  ImageMetadata ii;
  ii.date_taken = L"2019:05:04 13:02:09";
  ii.orientation = 6;
  ii.gps = L"39.904202,116.407394";
  ii.maker = L"LumoCam";
  ii.model = L"LC-1 Mark II";
  ii.lens = L"LC 24-70mm F2.8";
  ii.f_number = L"2.8";
  ii.max_aperture = L"3.0";
  ii.exposure_time = L"10/2500";
  ii.iso = L"400";
  ii.focal_length = L"50.0";
  ii.metering_mode = L"5";
  ii.flash = L"16";
  ii.white_balance = L"1";
  ii.exposure_program = L"2";
  ImageMetadata mm;
  mm.date_taken = L"2020:12:31 23:59:59";
  mm.orientation = 8;
  mm.gps = L"-22.908333,-43.196388";
  mm.maker = L"Other Maker Inc.";
  mm.model = L"M2";
  mm.lens = L"Zoom 1";
  mm.f_number = L"0.0";
  mm.max_aperture = L"3.0";
  mm.exposure_time = L"1/250";
  mm.iso = L"3200";
  mm.focal_length = L"13.5";
  mm.metering_mode = L"2";
  mm.flash = L"0";
  mm.white_balance = L"0";
  mm.exposure_program = L"3";
  const Case cases[] = {{L"photo_ii.jpg", 3000, 4000, ii},
                        {L"photo_mm.jpg", 480, 640, mm},
                        {L"plain.jpg", 64, 48, ImageMetadata()},
                        {L"photo.png", 64, 48, ImageMetadata()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file);
    auto loader = CWICImageLoader::OpenImage(ExifFixture(c.file));
    ASSERT_TRUE(loader);
    EXPECT_EQ(loader->GetSize().cx, c.w);
    EXPECT_EQ(loader->GetSize().cy, c.h);
    const ImageMetadata& got = loader->GetInfo();
    EXPECT_EQ(got.date_taken, c.want.date_taken);
    EXPECT_EQ(got.orientation, c.want.orientation);
    EXPECT_EQ(got.gps, c.want.gps);
    EXPECT_EQ(got.maker, c.want.maker);
    EXPECT_EQ(got.model, c.want.model);
    EXPECT_EQ(got.lens, c.want.lens);
    EXPECT_EQ(got.f_number, c.want.f_number);
    EXPECT_EQ(got.max_aperture, c.want.max_aperture);
    EXPECT_EQ(got.exposure_time, c.want.exposure_time);
    EXPECT_EQ(got.iso, c.want.iso);
    EXPECT_EQ(got.focal_length, c.want.focal_length);
    EXPECT_EQ(got.metering_mode, c.want.metering_mode);
    EXPECT_EQ(got.flash, c.want.flash);
    EXPECT_EQ(got.white_balance, c.want.white_balance);
    EXPECT_EQ(got.exposure_program, c.want.exposure_program);
  }
}

TEST(WicImageLoaderTest, OwnExifReaderOnlyWhenTheSystemHasNoApp1Block) {
  // photo_ii.jpg stores orientation 6; the stand-in system reader says 3.
  for (bool system_has_block : {false, true}) {
    SCOPED_TRACE(system_has_block);
    image::LoaderOptions options;
    options.query_reader = [system_has_block](const std::wstring&, IWICBitmapDecoder*,
                                              IWICBitmapFrameDecode*) {
      ComPtr<FakeQueryReader> reader;
      reader.Attach(new FakeQueryReader());
      if (system_has_block) reader->Set(L"/app1", FakeQueryReader::ULong(0));
      reader->Set(L"/app1/ifd/{ushort=274}", FakeQueryReader::UShort(3));
      return ComPtr<IWICMetadataQueryReader>(reader.Get());
    };
    auto loader = CWICImageLoader::OpenImage(ExifFixture(L"photo_ii.jpg"), options);
    ASSERT_TRUE(loader);
    EXPECT_EQ(loader->GetInfo().orientation, system_has_block ? 3 : 6);
    EXPECT_EQ(loader->GetInfo().date_taken.empty(), system_has_block);
  }
}

std::vector<BYTE> ProfileBytes(IWICColorContext* context) {
  std::vector<BYTE> bytes;
  UINT size = 0;
  if (!context || FAILED(context->GetProfileBytes(0, nullptr, &size)) || size == 0) return bytes;
  bytes.resize(size);
  if (FAILED(context->GetProfileBytes(size, bytes.data(), &size))) bytes.clear();
  return bytes;
}

TEST(WicImageLoaderTest, EmbeddedProfileBecomesTheColourContext) {
  std::vector<BYTE> expected;
  {
    FILE* f = _wfopen(ExifFixture(L"big.icc").c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    BYTE buffer[8192];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), f)) > 0) {
      expected.insert(expected.end(), buffer, buffer + got);
    }
    fclose(f);
  }
  auto loader = CWICImageLoader::OpenImage(ExifFixture(L"icc.jpg"));
  ASSERT_TRUE(loader);
  ASSERT_NE(loader->GetColorContext(), nullptr);
  EXPECT_TRUE(ProfileBytes(loader->GetColorContext()) == expected);
  basic_lib::ScopedBitmap fitted(loader->RenderFitted(32, 24, image::RenderSettings()));
  EXPECT_TRUE(fitted);

  auto plain = CWICImageLoader::OpenImage(ExifFixture(L"plain.jpg"));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->GetColorContext(), nullptr);
}

TEST(WicImageLoaderTest, RenderFittedTurnsPixelsUprightForEveryOrientation) {
  const DWORD kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;
  image::RenderSettings settings;
  for (int o = 1; o <= 8; ++o) {
    auto loader = CWICImageLoader::OpenImage(Fixture(L"corner.png"), WithOrientation(o));
    ASSERT_TRUE(loader) << o;
    const SIZE size = loader->GetSize();
    EXPECT_EQ(size.cx, o >= 5 ? 6 : 8) << o;
    basic_lib::ScopedBitmap fitted(loader->RenderFitted(size.cx, size.cy, settings));
    ASSERT_TRUE(fitted) << o;
    int w = 0, h = 0;
    auto px = image_test::ReadPixels(fitted.Get(), &w, &h);
    ASSERT_EQ(w, size.cx);
    ASSERT_EQ(h, size.cy);
    const POINT red = Displayed(o, 0, 0, 8, 6), green = Displayed(o, 7, 0, 8, 6);
    const POINT blue = Displayed(o, 4, 5, 8, 6);
    EXPECT_TRUE(image_test::Near(px[red.y * w + red.x], kRed)) << o;
    EXPECT_TRUE(image_test::Near(px[green.y * w + green.x], kGreen)) << o;
    EXPECT_TRUE(image_test::Near(px[blue.y * w + blue.x], kBlue)) << o;

    ComPtr<IWICBitmap> full = loader->CreateFullBitmap(true);
    ASSERT_TRUE(full) << o;
    UINT fw = 0, fh = 0;
    auto fpx = Pixels(full.Get(), &fw, &fh);
    ASSERT_EQ(fw, static_cast<UINT>(size.cx));
    EXPECT_TRUE(image_test::Near(fpx[red.y * fw + red.x], kRed)) << o;
    EXPECT_TRUE(image_test::Near(fpx[green.y * fw + green.x], kGreen)) << o;
  }
  // Scaled before it is turned: the output has exactly the requested size.
  auto loader = CWICImageLoader::OpenImage(Fixture(L"big6.jpg"), WithOrientation(6));
  ASSERT_TRUE(loader);
  basic_lib::ScopedBitmap fitted(loader->RenderFitted(30, 40, settings));
  int w = 0, h = 0;
  auto px = image_test::ReadPixels(fitted.Get(), &w, &h);
  EXPECT_EQ(w, 30);
  EXPECT_EQ(h, 40);
  ASSERT_FALSE(px.empty());
  EXPECT_TRUE(image_test::Near(px[0], 0x808080, 12));
  EXPECT_EQ(loader->RenderFitted(0, 40, settings), nullptr);
  EXPECT_EQ(loader->RenderFitted(-3, 40, settings), nullptr);
}

TEST(WicImageLoaderTest, AlphaIsCompositedOnTheCanvasAndTheEnhancerRuns) {
  auto loader = CWICImageLoader::OpenImage(Fixture(L"alpha.png"));
  ASSERT_TRUE(loader);
  image::RenderSettings settings;
  settings.canvas_color = RGB(10, 200, 30);
  basic_lib::ScopedBitmap fitted(loader->RenderFitted(8, 8, settings));
  int w = 0, h = 0;
  auto px = image_test::ReadPixels(fitted.Get(), &w, &h);
  ASSERT_EQ(px.size(), 64u);
  EXPECT_EQ(px[1 * 8 + 1], 0x0AC81Eu);
  EXPECT_EQ(px[6 * 8 + 6], 0xFF0000u);

  // The process-wide settings are what the two-argument form uses.
  std::atomic<int> calls{0};
  settings.view_enhancer = [&calls](FCObjImage* image) {
    ++calls;
    for (int y = 0; y < image->Height(); ++y)
      for (int x = 0; x < image->Width(); ++x) {
        BYTE* p = image->GetBits(x, y);
        p[0] = 255;
        p[1] = 0;
        p[2] = 0;
        p[3] = 255;
      }
  };
  image::SetRenderSettings(settings);
  basic_lib::ScopedBitmap enhanced(loader->RenderFitted(4, 4));
  image::SetRenderSettings(image::RenderSettings());
  px = image_test::ReadPixels(enhanced.Get(), &w, &h);
  ASSERT_EQ(px.size(), 16u);
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(px[0], 0x0000FFu);
}

TEST(WicImageLoaderTest, FullBitmapAndScaleTo) {
  auto loader = CWICImageLoader::OpenImage(Fixture(L"good.ico"));
  ASSERT_TRUE(loader);
  ComPtr<IWICBitmap> full = loader->CreateFullBitmap(false);
  ASSERT_TRUE(full);
  UINT w = 0, h = 0;
  ASSERT_TRUE(SUCCEEDED(full->GetSize(&w, &h)));
  EXPECT_EQ(w, 256u);
  ComPtr<IWICColorContext> context;
  ComPtr<IWICBitmapSource> scaled = loader->ScaleTo(40, 20, &context);
  ASSERT_TRUE(scaled);
  ASSERT_TRUE(SUCCEEDED(scaled->GetSize(&w, &h)));
  EXPECT_EQ(w, 40u);
  EXPECT_EQ(h, 20u);
  auto px = Pixels(scaled.Get(), &w, &h);
  ASSERT_FALSE(px.empty());
  EXPECT_TRUE(image_test::Near(px[10 * 40 + 20], 0xFFA500));
  EXPECT_EQ(loader->ScaleTo(0, 20, &context), nullptr);
}

// A placeable WMF (header + the GDI recording) of a red rectangle, 200 x 100 at 96 per inch.
std::vector<BYTE> MakePlaceableWmf() {
  HDC dc = ::CreateMetaFileW(nullptr);
  ::SetWindowOrgEx(dc, 0, 0, nullptr);
  ::SetWindowExtEx(dc, 200, 100, nullptr);
  HBRUSH brush = ::CreateSolidBrush(RGB(255, 0, 0));
  ::SelectObject(dc, brush);
  ::Rectangle(dc, 0, 0, 200, 100);
  HMETAFILE mf = ::CloseMetaFile(dc);
  ::DeleteObject(brush);
  std::vector<BYTE> bits(::GetMetaFileBitsEx(mf, 0, nullptr));
  ::GetMetaFileBitsEx(mf, static_cast<UINT>(bits.size()), bits.data());
  ::DeleteMetaFile(mf);
  WORD header[11] = {0xCDD7, 0x9AC6, 0, 0, 0, 200, 100, 96, 0, 0, 0};
  for (int i = 0; i < 10; ++i) header[10] ^= header[i];
  std::vector<BYTE> file(reinterpret_cast<BYTE*>(header), reinterpret_cast<BYTE*>(header) + 22);
  file.insert(file.end(), bits.begin(), bits.end());
  return file;
}

TEST(WicImageLoaderTest, MetafilesOpenThroughGdiplusWithoutMetadata) {
  const std::wstring dir = image_test::MakeTempFolder(L"metafiles");
  const std::wstring wmf = dir + L"\\red.wmf";
  const std::vector<BYTE> bytes = MakePlaceableWmf();
  ASSERT_TRUE(image_test::WriteFileBytes(wmf, bytes.data(), bytes.size()));
  const std::wstring emf = dir + L"\\red.emf";
  {
    RECT frame = {0, 0, 5000, 2500};  // hundredths of a millimetre
    HDC dc = ::CreateEnhMetaFileW(nullptr, emf.c_str(), &frame, nullptr);
    ASSERT_NE(dc, nullptr);
    HBRUSH brush = ::CreateSolidBrush(RGB(255, 0, 0));
    ::SelectObject(dc, brush);
    ::Rectangle(dc, 0, 0, 150, 75);
    ::DeleteEnhMetaFile(::CloseEnhMetaFile(dc));
    ::DeleteObject(brush);
  }
  for (const std::wstring& path : {wmf, emf}) {
    EXPECT_FALSE(CWICImageLoader::OpenWithWic(path));
    auto loader = CWICImageLoader::OpenImage(path, WithOrientation(6));
    ASSERT_TRUE(loader);
    EXPECT_EQ(loader->GetDecoder(), nullptr);
    EXPECT_EQ(loader->GetColorContext(), nullptr);
    EXPECT_EQ(loader->GetInfo().orientation, 0);  // no reader is asked for a ready bitmap
    EXPECT_GT(loader->GetSize().cx, 0);
    EXPECT_GT(loader->GetSize().cy, 0);
    basic_lib::ScopedBitmap fitted(loader->RenderFitted(20, 10, image::RenderSettings()));
    EXPECT_TRUE(fitted);
  }
  const SIZE size = CWICImageLoader::OpenImage(wmf)->GetSize();
  EXPECT_EQ(size.cx, 200);
  EXPECT_EQ(size.cy, 100);
}

TEST(WicImageLoaderTest, PluginChainEndsCleanlyWhateverThePluginReturns) {
  const std::wstring dir = image_test::MakeTempFolder(L"plugin");
  const std::wstring path = dir + L"\\picture.webp";
  const char junk[] = "RIFF....WEBPVP8 not really";
  ASSERT_TRUE(image_test::WriteFileBytes(path, junk, sizeof(junk)));
  image::LoaderOptions options;
  options.plugin_folder = FAKE_PLUGIN_DIR;

  struct Case {
    const wchar_t* mode;
    LONG w, h;
  } cases[] = {{L"null", 0, 0}, {L"opaque", 0, 0}, {L"badsize", 0, 0},
               {L"huge", 0, 0}, {L"bitmap", 7, 5}, {L"own", 3, 2}};
  for (const Case& c : cases) {
    ::SetEnvironmentVariableW(L"LUMORA_FAKE_PLUGIN", c.mode);
    auto loader = CWICImageLoader::OpenImage(path, options);
    EXPECT_EQ(::GetModuleHandleW(L"FreeImage.dll"), nullptr) << c.mode;  // unloaded at once
    if (c.w == 0) {
      EXPECT_FALSE(loader) << c.mode;
      continue;
    }
    ASSERT_TRUE(loader) << c.mode;
    EXPECT_EQ(loader->GetSize().cx, c.w);
    EXPECT_EQ(loader->GetSize().cy, c.h);
    EXPECT_EQ(loader->GetDecoder(), nullptr);
    // Pixels come from our copy, not from the unloaded library's object.
    basic_lib::ScopedBitmap fitted(loader->RenderFitted(c.w, c.h, image::RenderSettings()));
    int w = 0, h = 0;
    auto px = image_test::ReadPixels(fitted.Get(), &w, &h);
    ASSERT_EQ(px.size(), static_cast<size_t>(c.w * c.h)) << c.mode;
    if (std::wstring(c.mode) == L"own") {
      EXPECT_EQ(px[0], 0x00FF00u);
    }
  }
  ::SetEnvironmentVariableW(L"LUMORA_FAKE_PLUGIN", L"bitmap");
  options.plugin_folder = dir;  // no library there
  EXPECT_FALSE(CWICImageLoader::OpenImage(path, options));
  ::SetEnvironmentVariableW(L"LUMORA_FAKE_PLUGIN", nullptr);
}

TEST(WicImageLoaderTest, BadInputEndsInNullOrNoResult) {
  std::vector<std::wstring> paths;
  WIN32_FIND_DATAW data;
  const std::wstring bad = Fixture(L"bad");
  basic_lib::ScopedFindHandle find(::FindFirstFileW((bad + L"/*").c_str(), &data));
  ASSERT_TRUE(find);
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      paths.push_back(bad + L"/" + data.cFileName);
  } while (::FindNextFileW(find.Get(), &data));
  ASSERT_GE(paths.size(), 25u);
  paths.push_back(bad);                    // a directory
  paths.push_back(bad + L"/missing.jpg");  // nothing there
  paths.push_back(L"");
  for (const std::wstring& path : paths) {
    auto loader = CWICImageLoader::OpenImage(path);
    if (!loader) continue;
    const bool huge = path.find(L"huge.") != std::wstring::npos;
    if (huge) {
      EXPECT_EQ(loader->CreateFullBitmap(true), nullptr) << path;
    } else {
      ComPtr<IWICBitmap> full = loader->CreateFullBitmap(true);
      (void)full;
    }
    basic_lib::ScopedBitmap fitted(loader->RenderFitted(16, 16, image::RenderSettings()));
    (void)fitted;
  }
  EXPECT_FALSE(CWICImageLoader::OpenImage(bad + L"/empty.png"));
  EXPECT_FALSE(CWICImageLoader::OpenImage(bad + L"/notimage.jpg"));
  EXPECT_FALSE(CWICImageLoader::OpenImage(bad));
}

TEST(WicImageLoaderTest, LoaderOutlivesItsFileAndItsOpenerAcrossThreads) {
  const std::wstring dir = image_test::MakeTempFolder(L"lifetime");
  const std::wstring copy = dir + L"\\copy.png";
  ASSERT_TRUE(::CopyFileW(Fixture(L"corner.png").c_str(), copy.c_str(), FALSE));
  auto loader = CWICImageLoader::OpenImage(copy);
  ASSERT_TRUE(loader);
  ::DeleteFileW(copy.c_str());  // may be refused while the decoder holds it; either is fine
  std::atomic<int> rendered{0};
  std::thread worker([shared = loader, &rendered]() mutable {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (int i = 0; i < 10; ++i) {
      basic_lib::ScopedBitmap b(shared->RenderFitted(4, 3, image::RenderSettings()));
      if (b) ++rendered;
    }
    shared.reset();  // the last holder lets go on the worker
    ::CoUninitialize();
  });
  loader.reset();
  worker.join();
  EXPECT_EQ(rendered.load(), 10);
}

TEST(WicImageLoaderTest, NoFactoryMeansNoLoaderAndNoRender) {
  auto loader = CWICImageLoader::OpenImage(Fixture(L"good.png"));
  ASSERT_TRUE(loader);
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  image::SetSharedWicFactory(nullptr);
  EXPECT_FALSE(CWICImageLoader::OpenImage(Fixture(L"good.bmp")));
  EXPECT_EQ(loader->RenderFitted(8, 8, image::RenderSettings()), nullptr);
  EXPECT_FALSE(loader->CreateFullBitmap(true));
  image::SetSharedWicFactory(factory.Get());
  basic_lib::ScopedBitmap back(loader->RenderFitted(8, 8, image::RenderSettings()));
  EXPECT_TRUE(back);
}

}  // namespace
