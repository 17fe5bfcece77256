#include "image/obj_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "basic_lib/scoped_handle.h"
#include "image/orientation.h"
#include "test_support.h"

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new image_test::ImagingEnvironment);

TEST(ObjImageTest, CreateKeepsStrideAndRowOrder) {
  FCObjImage image;
  ASSERT_TRUE(image.Create(10, -5, 32));
  EXPECT_EQ(image.Stride(), 40);
  EXPECT_EQ(image.GetBits(0), image.GetMemStart());
  EXPECT_EQ(image.GetBits(4), image.GetMemStart() + 160);
  EXPECT_EQ(image.SignedHeight(), -5);
  EXPECT_NE(image.GetHandle(), nullptr);

  ASSERT_TRUE(image.Create(10, 5, 32));
  EXPECT_EQ(image.GetBits(0), image.GetMemStart() + 160);
  EXPECT_EQ(image.GetBits(4), image.GetMemStart());
  EXPECT_EQ(image.GetBits(3, 4), image.GetMemStart() + 12);

  ASSERT_TRUE(image.Create(3, 2, 24));
  EXPECT_EQ(image.Stride(), 12);
  EXPECT_EQ(image.GetBits(1, 0) - image.GetBits(0), 3);

  ASSERT_TRUE(image.Create(5, 3, 8));
  BITMAP header = {};
  ASSERT_TRUE(::GetObjectW(image.GetHandle(), sizeof(header), &header));
  EXPECT_EQ(header.bmBitsPixel, 8);
  {
    basic_lib::ScopedMemoryDc dc(::CreateCompatibleDC(nullptr));
    basic_lib::ScopedSelectObject select(dc.Get(), image.GetHandle());
    RGBQUAD table[256];
    ASSERT_EQ(::GetDIBColorTable(dc.Get(), 0, 256, table), 256u);
    for (const RGBQUAD& q : table) EXPECT_EQ(*reinterpret_cast<const DWORD*>(&q), 0u);
  }

  for (auto bad : {std::vector<int>{0, 5, 32},
                   {5, 0, 32},
                   {5, 5, 16},
                   {-3, 5, 32},
                   {100000, 100000, 32},
                   {0x7FFFFFFF, 1, 32}}) {
    EXPECT_FALSE(image.Create(bad[0], bad[1], bad[2]));
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.GetHandle(), nullptr);
  }
}

TEST(ObjImageTest, CreateFromWicSourceAndAttach) {
  auto bitmap = image_test::MakeBitmap(
      3, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF, 0x00000000, 0xFF102030});
  ASSERT_TRUE(bitmap);
  FCObjImage image;
  ASSERT_TRUE(image.CreateFromWicSource(bitmap.Get(), GUID_WICPixelFormat32bppPBGRA));
  EXPECT_EQ(image.Width(), 3);
  EXPECT_EQ(image.Height(), 2);
  EXPECT_EQ(image.SignedHeight(), -2);
  const BYTE* red = image.GetBits(0, 0);
  EXPECT_EQ(red[0], 0);
  EXPECT_EQ(red[2], 255);
  EXPECT_EQ(red[3], 255);
  const BYTE* half = image.GetBits(0, 1);  // premultiplied: white at alpha 128
  EXPECT_EQ(half[3], 0x80);
  EXPECT_NEAR(half[0], 0x80, 1);
  EXPECT_EQ(image.GetBits(2, 1)[0], 0x30);

  ASSERT_TRUE(image.CreateFromWicSource(bitmap.Get(), GUID_WICPixelFormat24bppBGR));
  EXPECT_EQ(image.ColorBits(), 24);
  EXPECT_EQ(image.GetBits(2, 0)[0], 0xFF);

  // Formats the image cannot hold fail.
  EXPECT_FALSE(image.CreateFromWicSource(bitmap.Get(), GUID_WICPixelFormat8bppIndexed));
  EXPECT_FALSE(image.CreateFromWicSource(bitmap.Get(), GUID_WICPixelFormat8bppGray));
  EXPECT_FALSE(image.CreateFromWicSource(nullptr, GUID_WICPixelFormat32bppPBGRA));

  std::vector<DWORD> memory(4 * 3, 0x11223344);
  image.Attach(4, 3, reinterpret_cast<BYTE*>(memory.data()));
  EXPECT_EQ(image.GetHandle(), nullptr);
  EXPECT_EQ(image.GetBits(2), reinterpret_cast<BYTE*>(memory.data()) + 32);
  image.Destroy();
  EXPECT_EQ(image.GetMemStart(), nullptr);
}

TEST(ObjImageTest, CompositeShowsCanvasThroughTransparentPixels) {
  // 4x4: top-left pixel fully transparent, the rest opaque blue.
  std::vector<DWORD> px(16, 0xFF0000FF);
  px[0] = 0x00000000;
  auto bitmap = image_test::MakeBitmap(4, 4, px);
  FCObjImage image;
  ASSERT_TRUE(image.CreateFromWicSource(bitmap.Get(), GUID_WICPixelFormat32bppPBGRA));
  basic_lib::ScopedBitmap composed(CompositeOnCanvas(&image, RGB(10, 200, 30)));
  ASSERT_TRUE(composed);
  EXPECT_FALSE(image.IsValid());  // consumed
  int w = 0, h = 0;
  auto pixels = image_test::ReadPixels(composed.Get(), &w, &h);
  ASSERT_EQ(pixels.size(), 16u);
  EXPECT_EQ(pixels[0], 0x0AC81Eu);  // canvas colour as 0xRRGGBB
  EXPECT_EQ(pixels[5], 0x0000FFu);

  // 24 bpp draws with StretchBlt, scaled.
  FCObjImage rgb;
  ASSERT_TRUE(rgb.Create(2, -2, 24));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) {
      BYTE* p = rgb.GetBits(x, y);
      p[0] = 0;
      p[1] = 0;
      p[2] = 255;
    }
  HDC screen = ::GetDC(nullptr);
  basic_lib::ScopedBitmap target(::CreateCompatibleBitmap(screen, 6, 6));
  ::ReleaseDC(nullptr, screen);
  {
    basic_lib::ScopedBrush white(::CreateSolidBrush(RGB(255, 255, 255)));
    FCMemoryDCScope scope;
    ASSERT_TRUE(scope.Open(target.Get(), white.Get()));
    rgb.Draw(scope.GetDC(), 2, 2, 6, 6);
    FCObjImage empty;
    empty.Draw(scope.GetDC(), 0, 0, 6, 6);  // a no-op
  }
  pixels = image_test::ReadPixels(target.Get(), &w, &h);
  ASSERT_EQ(pixels.size(), 36u);
  EXPECT_EQ(pixels[0], 0xFFFFFFu);
  EXPECT_EQ(pixels[5 * 6 + 5], 0xFF0000u);
}

TEST(OrientationTest, TransformTableRotateCyclesAndPolicy) {
  EXPECT_EQ(image::OrientationToTransform(1), WICBitmapTransformRotate0);
  EXPECT_EQ(image::OrientationToTransform(6), WICBitmapTransformRotate90);
  EXPECT_EQ(image::OrientationToTransform(5), WICBitmapTransformFlipVertical | 1);
  EXPECT_EQ(image::OrientationToTransform(7), WICBitmapTransformFlipHorizontal | 1);
  EXPECT_EQ(image::OrientationToTransform(9), WICBitmapTransformRotate0);
  for (int o = 1; o <= 8; ++o) {
    EXPECT_EQ(image::TransformSwapsAxes(image::OrientationToTransform(o)), o >= 5) << o;
    int cw = o, ccw = o;
    for (int i = 0; i < 4; ++i) {
      cw = image::RotateOrientation(cw, true);
      ccw = image::RotateOrientation(ccw, false);
    }
    EXPECT_EQ(cw, o);
    EXPECT_EQ(ccw, o);
    EXPECT_EQ(image::RotateOrientation(image::RotateOrientation(o, true), false), o);
  }
  EXPECT_EQ(image::RotateOrientation(0, true), 6);
  EXPECT_EQ(image::RotateOrientation(1, true), 6);
  EXPECT_EQ(image::RotateOrientation(6, true), 3);
  EXPECT_EQ(image::RotateOrientation(3, true), 8);
  EXPECT_EQ(image::RotateOrientation(2, true), 7);
  EXPECT_EQ(image::RotateOrientation(7, true), 4);
  EXPECT_EQ(image::RotateOrientation(4, true), 5);
  EXPECT_EQ(image::RotateOrientation(1, false), 8);
  EXPECT_EQ(image::RotateOrientation(2, false), 5);

  EXPECT_EQ(image::ApplyOrientationPolicy(6, true, false), 6);
  EXPECT_EQ(image::ApplyOrientationPolicy(6, false, false), 0);
  EXPECT_EQ(image::ApplyOrientationPolicy(6, false, true), 6);
}

// Where the top-left (red) and top-right (green) corners of a 3x2 picture end up for each EXIF
// orientation, in the displayed picture's coordinates.
struct CornerCase {
  int orientation;
  int red_x, red_y, green_x, green_y;
};
const CornerCase kCorners[] = {
    {1, 0, 0, 2, 0}, {2, 2, 0, 0, 0}, {3, 2, 1, 0, 1}, {4, 0, 1, 2, 1},
    {5, 0, 0, 0, 2}, {6, 1, 0, 1, 2}, {7, 1, 2, 1, 0}, {8, 0, 2, 0, 0},
};
const DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

TEST(OrientationTest, OwnPixelTurnMatchesExifMeaning) {
  const std::vector<DWORD> src = {kRed, kBlue, kGreen, kBlue, kBlue, kBlue};
  for (const CornerCase& c : kCorners) {
    std::vector<BYTE> out;
    UINT w = 0, h = 0;
    ASSERT_TRUE(image::TransformPixels32(reinterpret_cast<const BYTE*>(src.data()), 3, 2, 12,
                                         image::OrientationToTransform(c.orientation), &out, &w,
                                         &h));
    ASSERT_EQ(w, c.orientation >= 5 ? 2u : 3u);
    const DWORD* px = reinterpret_cast<const DWORD*>(out.data());
    EXPECT_EQ(px[c.red_y * w + c.red_x], kRed) << c.orientation;
    EXPECT_EQ(px[c.green_y * w + c.green_x], kGreen) << c.orientation;
  }
  std::vector<BYTE> out;
  UINT w = 0, h = 0;
  EXPECT_FALSE(image::TransformPixels32(reinterpret_cast<const BYTE*>(src.data()), 3, 2, 8,
                                        WICBitmapTransformRotate90, &out, &w, &h));
}

TEST(OrientationTest, SystemRotatorOrFallbackGivesTheSamePixels) {
  auto factory = image::GetSharedWicFactory();
  auto bitmap = image_test::MakeBitmap(3, 2, {kRed, kBlue, kGreen, kBlue, kBlue, kBlue});
  ASSERT_TRUE(bitmap);
  for (const CornerCase& c : kCorners) {
    auto turned = image::ApplyOrientationTransform(factory.Get(), bitmap.Get(),
                                                   image::OrientationToTransform(c.orientation));
    ASSERT_TRUE(turned);
    UINT w = 0, h = 0;
    ASSERT_TRUE(SUCCEEDED(turned->GetSize(&w, &h)));
    std::vector<DWORD> px(w * h);
    ASSERT_TRUE(SUCCEEDED(
        turned->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(px.data()))));
    EXPECT_EQ(px[c.red_y * w + c.red_x], kRed) << c.orientation;
    EXPECT_EQ(px[c.green_y * w + c.green_x], kGreen) << c.orientation;
  }
}

TEST(OrientationTest, ColourTransformFallsBackToTheSource) {
  auto factory = image::GetSharedWicFactory();
  auto bitmap = image_test::MakeBitmap(2, 2, {kRed, kRed, kRed, kRed});
  basic_lib::ComPtr<IWICColorContext> uninitialised;
  ASSERT_TRUE(SUCCEEDED(factory->CreateColorContext(&uninitialised)));
  // Windows rejects an empty profile (the source comes back); Wine accepts it. Either way the
  // result must still produce the pixels.
  auto result = image::ApplySrgbTransform(factory.Get(), bitmap.Get(), uninitialised.Get());
  ASSERT_TRUE(result);
  DWORD px[4] = {};
  ASSERT_TRUE(SUCCEEDED(result->CopyPixels(nullptr, 8, 16, reinterpret_cast<BYTE*>(px))));
  EXPECT_TRUE(image_test::Near(px[3] & 0xFFFFFF, kRed & 0xFFFFFF));
  EXPECT_EQ(image::ApplySrgbTransform(nullptr, bitmap.Get(), uninitialised.Get()).Get(),
            static_cast<IWICBitmapSource*>(bitmap.Get()));
  EXPECT_EQ(image::ApplySrgbTransform(factory.Get(), bitmap.Get(), nullptr).Get(),
            static_cast<IWICBitmapSource*>(bitmap.Get()));
}

}  // namespace
