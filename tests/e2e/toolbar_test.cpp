// The toolbar of the real viewer showing a picture: its sprite on screen, the fit/actual button's
// click and tooltip.
#include <gtest/gtest.h>
#include <wincodec.h>
#include <windows.h>

#include <vector>

#include "e2e/driver/e2e_driver.h"

namespace {

using namespace e2e;

constexpr int kToolbarId = 102;
constexpr int kCellWidth = 52;
constexpr int kCellHeight = 34;
constexpr int kButtonTop = 13;
constexpr int kCentreButtons = 11;

// The toolbar sprite as 0x00RRGGBB over the toolbar background (straight alpha blended here).
struct Sprite {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool LoadSprite(const std::wstring& path, Sprite* sprite) {
  IWICImagingFactory* factory = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory)))) {
    return false;
  }
  bool ok = false;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICBitmapSource* converted = nullptr;
  UINT w = 0, h = 0;
  if (SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) &&
      SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted)) &&
      SUCCEEDED(converted->GetSize(&w, &h)) && w > 0 && h > 0 && w < 4096 && h < 4096) {
    std::vector<BYTE> bgra(static_cast<size_t>(w) * h * 4);
    if (SUCCEEDED(
            converted->CopyPixels(nullptr, w * 4, static_cast<UINT>(bgra.size()), bgra.data()))) {
      sprite->width = static_cast<int>(w);
      sprite->height = static_cast<int>(h);
      sprite->pixels.resize(static_cast<size_t>(w) * h);
      for (size_t i = 0; i < sprite->pixels.size(); ++i) {
        const BYTE* p = &bgra[i * 4];
        auto blend = [&](BYTE c) { return (c * p[3] + 248 * (255 - p[3]) + 127) / 255; };
        sprite->pixels[i] = (blend(p[2]) << 16) | (blend(p[1]) << 8) | blend(p[0]);
      }
      ok = true;
    }
  }
  if (converted) converted->Release();
  if (frame) frame->Release();
  if (decoder) decoder->Release();
  factory->Release();
  return ok;
}

// Share of the cell's pixels on screen that match the sprite cell (column, row).
double CellMatch(const Capture& shot, POINT cell_on_shot, const Sprite& sprite, int column,
                 int row) {
  int same = 0;
  for (int y = 0; y < kCellHeight; ++y) {
    for (int x = 0; x < kCellWidth; ++x) {
      const uint32_t want = sprite.At(column * kCellWidth + x, row * kCellHeight + y);
      const uint32_t got = shot.At(cell_on_shot.x + x, cell_on_shot.y + y);
      if (ColorNear(got, (want >> 16) & 0xFF, (want >> 8) & 0xFF, want & 0xFF, 12)) ++same;
    }
  }
  return static_cast<double>(same) / (kCellWidth * kCellHeight);
}

std::wstring VisibleToolTipText(DWORD pid) {
  WindowFilter tips;
  tips.class_name = L"tooltips_class32";
  tips.pid = pid;
  for (HWND tip : FindTopLevelWindows(tips)) {
    const std::wstring text = Caption(tip);
    if (!text.empty()) return text;
  }
  return std::wstring();
}

class ComScope {
 public:
  ComScope() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComScope() { ::CoUninitialize(); }
};

TEST(ToolbarE2E, SpriteOnScreenAndTheFitButtonTogglesCellAndTooltip) {
  ComScope com;
  Sprite sprite;
  const std::wstring bin = NormalizePath(LUMORA_BIN_DIR);
  ASSERT_TRUE(LoadSprite(JoinPath(bin, L"resources\\toolbar.png"), &sprite));
  ASSERT_EQ(14 * kCellWidth, sprite.width);
  ASSERT_EQ(3 * kCellHeight, sprite.height);
  const std::wstring fit_text = ReadIni(JoinPath(bin, L"lang\\en.ini"), L"TOOLBAR", L"4");
  ASSERT_NE(L"<absent>", fit_text);

  // A picture larger than the view, so actual size differs from the fitted zoom and every
  // button that needs a decoded image is enabled.
  TempDir data(L"toolbar");
  TempDir pictures(L"toolbar_pictures");
  const std::wstring picture = pictures.File(L"wide.bmp");
  ASSERT_TRUE(WriteSolidBmp(picture, 1800, 1300, 0x3C78B4));
  Process viewer;
  LaunchOptions options;
  options.data_dir = data.path();
  options.args = L"\"" + picture + L"\"";
  ASSERT_TRUE(viewer.Start(options));
  HWND main = viewer.WaitWindow();
  ASSERT_NE(nullptr, main);
  HWND toolbar = ::GetDlgItem(main, kToolbarId);
  ASSERT_NE(nullptr, toolbar);
  ASSERT_TRUE(WaitUntil([&] { return Caption(main).rfind(L"wide.bmp", 0) == 0; }, 15000));
  MoveMouse({1270, 1010});

  const RECT band = ClientRectOnScreen(toolbar);
  const int width = band.right - band.left;
  // The fit/actual button leads the centred group.
  const POINT cell = {(width - kCentreButtons * kCellWidth) / 2, kButtonTop};
  const POINT centre =
      ClientToScreenPoint(toolbar, cell.x + kCellWidth / 2, cell.y + kCellHeight / 2);

  // The enable rules follow the view's image-changed event; wait until they are painted.
  WaitUntil([&] { return CellMatch(CapturePainted(toolbar), cell, sprite, 0, 0) > 0.97; }, 5000);
  Capture before = CapturePainted(toolbar);
  ASSERT_FALSE(before.Empty());
  SaveCapture(CaptureWindow(main), JoinPath(ArtifactDir(), L"toolbar_start.png"));
  EXPECT_TRUE(ColorNear(before.At(2, 2), 248, 248, 248)) << std::hex << before.At(2, 2);
  EXPECT_GT(CellMatch(before, cell, sprite, 0, 0), 0.97);
  // The next button (resize, column 8) sits right beside it.
  EXPECT_GT(CellMatch(before, {cell.x + kCellWidth, cell.y}, sprite, 8, 0), 0.97);

  ASSERT_TRUE(Click(centre));
  // Hot under the pointer, showing the actual-size column.
  EXPECT_TRUE(WaitUntil(
      [&] { return CellMatch(CaptureWindow(toolbar), cell, sprite, 12, 1) > 0.97; }, 5000));

  // Hover again for the tooltip: off the button and back, then keep still while it appears.
  std::wstring tip;
  for (int attempt = 0; attempt < 3 && tip.empty(); ++attempt) {
    MoveMouse({centre.x, centre.y - 40});
    MoveMouse(centre);
    WaitUntil(
        [&] {
          tip = VisibleToolTipText(viewer.pid());
          return !tip.empty();
        },
        3000, 50);
  }
  EXPECT_EQ(fit_text, tip);
  SaveCapture(CaptureWindow(main), JoinPath(ArtifactDir(), L"toolbar_actual_tooltip.png"));

  MoveMouse({1270, 1010});
  EXPECT_TRUE(WaitUntil(
      [&] { return CellMatch(CaptureWindow(toolbar), cell, sprite, 12, 0) > 0.97; }, 5000));
}

}  // namespace
