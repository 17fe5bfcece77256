// The image view of the real LumoraViewer.exe: fitted and actual-size pictures, wheel, drag and
// double click, folder steps, the missing-file and load-error states and the welcome screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "e2e/driver/e2e_driver.h"

namespace {

using namespace e2e;

constexpr DWORD kWaitMs = 15000;

std::wstring Fixture(const std::wstring& relative) {
  std::wstring path = std::wstring(LUMORA_FIXTURES_DIR) + L"/view_pictures/" + relative;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// A started viewer with its main window and image view.
struct Viewer {
  TempDir data{L"view"};
  Process process;
  HWND main = nullptr;
  HWND view = nullptr;

  void Set(const wchar_t* key, const std::wstring& value) {
    ASSERT_TRUE(WriteIni(data.File(L"config.ini"), L"app", key, value));
  }
  void Start(const std::wstring& picture) {
    LaunchOptions o;
    o.data_dir = data.path();
    if (!picture.empty()) o.args = Quoted(picture);
    ASSERT_TRUE(process.Start(o));
    main = process.WaitWindow();
    ASSERT_NE(main, nullptr);
    view = ::GetDlgItem(main, 101);
    ASSERT_NE(view, nullptr);
    BringToForeground(main);
  }
  RECT ViewRect() const { return ClientRectOnScreen(view); }
  int Width() const { return ViewRect().right - ViewRect().left; }
  int Height() const { return ViewRect().bottom - ViewRect().top; }
  Capture Shot() const { return CaptureScreenRect(ViewRect()); }
  POINT At(int x, int y) const { return ClientToScreenPoint(view, x, y); }
  POINT Centre() const { return At(Width() / 2, Height() / 2); }
  void Save(const Capture& c, const wchar_t* name) const {
    SaveCapture(c, JoinPath(ArtifactDir(), name));
  }
  bool WaitCaption(const std::function<bool(const std::wstring&)>& ok) const {
    return WaitUntil([&] { return ok(Caption(main)); }, kWaitMs);
  }
  bool WaitCaptionStarts(const std::wstring& prefix) const {
    return WaitCaption([&](const std::wstring& c) { return c.rfind(prefix, 0) == 0; });
  }
};

// The zoom percentage at the end of the title line; -1 when there is none.
int ZoomPercent(const std::wstring& caption) {
  const size_t end = caption.rfind(L'%');
  if (end == std::wstring::npos) return -1;
  size_t start = end;
  while (start > 0 && iswdigit(caption[start - 1])) --start;
  if (start == end) return -1;
  return std::stoi(caption.substr(start, end - start));
}

bool NearPercent(int got, double want) { return std::abs(got - static_cast<int>(want)) <= 1; }

bool IsCanvas(uint32_t rgb, int r, int g, int b) { return ColorNear(rgb, r, g, b, 6); }

// First and last position along a row (or column) whose pixel is not the canvas colour.
struct Extent {
  int first = -1;
  int last = -1;
};
Extent RowExtent(const Capture& c, int y, int r, int g, int b) {
  Extent e;
  for (int x = 0; x < c.width; ++x) {
    if (!IsCanvas(c.At(x, y), r, g, b)) {
      if (e.first < 0) e.first = x;
      e.last = x;
    }
  }
  return e;
}
Extent ColumnExtent(const Capture& c, int x, int r, int g, int b) {
  Extent e;
  for (int y = 0; y < c.height; ++y) {
    if (!IsCanvas(c.At(x, y), r, g, b)) {
      if (e.first < 0) e.first = y;
      e.last = y;
    }
  }
  return e;
}

std::vector<uint32_t> Column(const Capture& c, int x) {
  std::vector<uint32_t> column;
  for (int y = 0; y < c.height; ++y) column.push_back(c.At(x, y));
  return column;
}

// Waits until the view shows the same pixels twice in a row and returns them.
Capture Settled(const Viewer& v) {
  Capture last = v.Shot();
  WaitUntil(
      [&] {
        Capture now = v.Shot();
        const bool same = now.pixels == last.pixels;
        last = std::move(now);
        return same;
      },
      5000, 120);
  return last;
}

}  // namespace

TEST(ImageViewTest, LargePictureFitsCentredAndZoomsPansAndToggles) {
  Viewer v;
  v.Set(L"mouse_wheel_action", L"1");
  v.Set(L"show_wheel_favorite", L"0");
  ASSERT_NO_FATAL_FAILURE(v.Start(Fixture(L"big/big.jpg")));
  const int w = v.Width(), h = v.Height();
  const double fit = std::min(w / 4000.0, h / 3000.0);
  ASSERT_TRUE(v.WaitCaption([&](const std::wstring& c) {
    return c.rfind(L"big.jpg ( 4000x3000", 0) == 0 && NearPercent(ZoomPercent(c), fit * 100);
  })) << Caption(v.main);
  // The fitted frame arrives from a worker: wait until the centre shows the picture.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const Capture c = v.Shot();
        return !c.Empty() && !IsCanvas(c.At(w / 2, h / 2), 255, 255, 255);
      },
      kWaitMs));
  Capture fitted = Settled(v);
  v.Save(fitted, L"view_big_fitted.png");
  const int zw = static_cast<int>(4000 * fit), zh = static_cast<int>(3000 * fit);
  const Extent row = RowExtent(fitted, h / 2, 255, 255, 255);
  const Extent col = ColumnExtent(fitted, w / 2, 255, 255, 255);
  EXPECT_NEAR(row.first, (w - zw) / 2, 2);
  EXPECT_NEAR(row.last + 1, (w - zw) / 2 + zw, 2);
  EXPECT_NEAR(col.first, (h - zh) / 2, 2);
  EXPECT_NEAR(col.last + 1, (h - zh) / 2 + zh, 2);
  // Red at the top of the picture, blue at its bottom.
  EXPECT_TRUE(ColorNear(fitted.At(w / 2, col.first + 2), 254, 0, 0, 24));
  EXPECT_TRUE(ColorNear(fitted.At(w / 2, col.last - 2), 0, 0, 254, 24));

  // Nothing overflows at the fitted size: a drag moves nothing.
  ASSERT_TRUE(Drag(v.Centre(), v.At(w / 2, h / 2 + 120)));
  EXPECT_EQ(Column(Settled(v), w / 2), Column(fitted, w / 2));

  // Double click: twice the fit ratio, then a drag pans; double click again: fitted.
  ASSERT_TRUE(Click(v.Centre(), false, true));
  EXPECT_TRUE(v.WaitCaption([&](const std::wstring& c) {
    return NearPercent(ZoomPercent(c), fit * 200);
  })) << Caption(v.main);
  const Capture doubled = Settled(v);
  v.Save(doubled, L"view_big_doubled.png");
  ASSERT_TRUE(Drag(v.Centre(), v.At(w / 2, h / 2 + 120)));
  EXPECT_TRUE(WaitUntil([&] { return Column(v.Shot(), w / 2) != Column(doubled, w / 2); }, 5000));
  ASSERT_TRUE(Click(v.Centre(), false, true));
  EXPECT_TRUE(v.WaitCaption([&](const std::wstring& c) {
    return NearPercent(ZoomPercent(c), fit * 100);
  })) << Caption(v.main);

  // The wheel zooms by 10 % per notch about the cursor.
  ASSERT_TRUE(Wheel(v.Centre(), 120));
  EXPECT_TRUE(v.WaitCaption([&](const std::wstring& c) {
    return NearPercent(ZoomPercent(c), fit * 110);
  })) << Caption(v.main);
  // Two more notches so the picture overflows the view's height as well.
  ASSERT_TRUE(Wheel(v.Centre(), 240));
  EXPECT_TRUE(v.WaitCaption([&](const std::wstring& c) {
    return NearPercent(ZoomPercent(c), fit * 110 * 1.2);
  })) << Caption(v.main);
  const int zoomed = ZoomPercent(Caption(v.main));
  const Capture before_alt = Settled(v);
  // Control turns the page instead (a single picture: nothing changes), Alt scrolls.
  ASSERT_TRUE(Wheel(v.Centre(), 120, true));
  ASSERT_TRUE(Wheel(v.Centre(), -120, false, true));
  EXPECT_TRUE(
      WaitUntil([&] { return Column(v.Shot(), w / 2) != Column(before_alt, w / 2); }, 5000));
  v.Save(Settled(v), L"view_big_zoomed_scrolled.png");
  EXPECT_EQ(ZoomPercent(Caption(v.main)), zoomed);
}

TEST(ImageViewTest, SmallPictureAtActualSizeOnTheCanvasColour) {
  Viewer v;
  v.Set(L"canvas_back_color", L"40,40,40");
  ASSERT_NO_FATAL_FAILURE(v.Start(Fixture(L"small/small.png")));
  ASSERT_TRUE(v.WaitCaption([](const std::wstring& c) {
    return c.rfind(L"small.png ( 400x300", 0) == 0 && ZoomPercent(c) == 100;
  })) << Caption(v.main);
  const int w = v.Width(), h = v.Height();
  ASSERT_TRUE(
      WaitUntil([&] { return ColorNear(v.Shot().At(w / 2, h / 2), 30, 160, 60, 8); }, kWaitMs));
  const Capture shot = Settled(v);
  v.Save(shot, L"view_small_actual.png");
  EXPECT_TRUE(IsCanvas(shot.At(3, 3), 40, 40, 40));
  EXPECT_TRUE(IsCanvas(shot.At(w - 4, h - 4), 40, 40, 40));
  const Extent row = RowExtent(shot, h / 2, 40, 40, 40);
  const Extent col = ColumnExtent(shot, w / 2, 40, 40, 40);
  EXPECT_EQ(row.last - row.first + 1, 400);
  EXPECT_EQ(col.last - col.first + 1, 300);
  EXPECT_NEAR(row.first, (w - 400) / 2, 1);
  EXPECT_NEAR(col.first, (h - 300) / 2, 1);
}

TEST(ImageViewTest, KeysWalkTheFolderInNaturalOrder) {
  {
    Viewer v;
    ASSERT_NO_FATAL_FAILURE(v.Start(Fixture(L"walk/img2.jpg")));
    // The list is collected on a worker; the position 2/3 tells it is there.
    ASSERT_TRUE(v.WaitCaption([](const std::wstring& c) {
      return c.rfind(L"img2.jpg", 0) == 0 && c.find(L"2/3") != std::wstring::npos;
    })) << Caption(v.main);
    ASSERT_TRUE(PressKey(v.main, VK_RIGHT));
    ASSERT_TRUE(v.WaitCaptionStarts(L"img10.jpg")) << Caption(v.main);
    ASSERT_TRUE(v.WaitCaption([](const std::wstring& c) { return c.find(L"3/3") != c.npos; }));
    // At the end Right stays; a wrap would make the following Left show img10.jpg again.
    ASSERT_TRUE(PressKey(v.main, VK_RIGHT));
    ASSERT_TRUE(PressKey(v.main, VK_LEFT));
    ASSERT_TRUE(v.WaitCaptionStarts(L"img2.jpg")) << Caption(v.main);
    ASSERT_TRUE(v.WaitCaption([](const std::wstring& c) { return c.find(L"2/3") != c.npos; }));
    ASSERT_TRUE(PressKey(v.main, VK_LEFT));
    ASSERT_TRUE(v.WaitCaptionStarts(L"Img1.png")) << Caption(v.main);
    ASSERT_TRUE(v.WaitCaption([](const std::wstring& c) { return c.find(L"1/3") != c.npos; }));
    ASSERT_TRUE(PressKey(v.main, VK_LEFT));
    ASSERT_TRUE(PressKey(v.main, VK_SPACE));
    ASSERT_TRUE(v.WaitCaptionStarts(L"img2.jpg")) << Caption(v.main);
    v.Save(Settled(v), L"view_walk_img2.png");
  }
  {
    Viewer v;
    v.Set(L"view_folder_loop", L"1");
    ASSERT_NO_FATAL_FAILURE(v.Start(Fixture(L"walk/img10.jpg")));
    ASSERT_TRUE(v.WaitCaption([](const std::wstring& c) { return c.find(L"3/3") != c.npos; }))
        << Caption(v.main);
    ASSERT_TRUE(PressKey(v.main, VK_SPACE));
    ASSERT_TRUE(v.WaitCaptionStarts(L"Img1.png")) << Caption(v.main);
    ASSERT_TRUE(v.WaitCaption([](const std::wstring& c) { return c.find(L"1/3") != c.npos; }));
    ASSERT_TRUE(PressKey(v.main, VK_LEFT));
    ASSERT_TRUE(v.WaitCaptionStarts(L"img10.jpg")) << Caption(v.main);
  }
}

TEST(ImageViewTest, MissingAndUndecodableFilesAndTheWelcomeScreen) {
  {
    // A listed neighbour deleted behind the viewer's back: stepping to it shows the tip.
    TempDir pictures(L"view-gone");
    const std::string bytes = ReadFileBytes(Fixture(L"walk/img2.jpg"));
    ASSERT_TRUE(WriteFileBytes(pictures.File(L"a.jpg"), bytes));
    ASSERT_TRUE(WriteFileBytes(pictures.File(L"gone.jpg"), bytes));
    Viewer v;
    ASSERT_NO_FATAL_FAILURE(v.Start(pictures.File(L"a.jpg")));
    ASSERT_TRUE(v.WaitCaption([](const std::wstring& c) { return c.find(L"1/2") != c.npos; }))
        << Caption(v.main);
    ASSERT_TRUE(::DeleteFileW(pictures.File(L"gone.jpg").c_str()));
    ASSERT_TRUE(PressKey(v.main, VK_RIGHT));
    ASSERT_TRUE(v.WaitCaptionStarts(L"gone.jpg")) << Caption(v.main);
    const int w = v.Width(), h = v.Height();
    // The dark tip plate in the middle, white canvas around it.
    ASSERT_TRUE(WaitUntil([&] { return !IsCanvas(v.Shot().At(w / 2 - 80, h / 2), 255, 255, 255); },
                          kWaitMs));
    const Capture shot = Settled(v);
    v.Save(shot, L"view_missing_file.png");
    const uint32_t plate = shot.At(w / 2 - 85, h / 2 - 20);
    EXPECT_LT((plate >> 16) & 0xFF, 120u);
    EXPECT_TRUE(IsCanvas(shot.At(w / 2 - 100, h / 2), 255, 255, 255));
    EXPECT_TRUE(IsCanvas(shot.At(w / 2, h / 2 - 35), 255, 255, 255));
  }
  {
    Viewer v;
    ASSERT_NO_FATAL_FAILURE(v.Start(Fixture(L"broken/corrupt.jpg")));
    ASSERT_TRUE(v.WaitCaptionStarts(L"corrupt.jpg")) << Caption(v.main);
    const int w = v.Width(), h = v.Height();
    // Grey text: the file name just above the middle, the error line just below it.
    auto grey_rows = [&](const Capture& c, int from, int to) {
      int rows = 0;
      for (int y = from; y < to; ++y) {
        for (int x = 0; x < w; ++x) {
          if (ColorNear(c.At(x, y), 105, 105, 105, 40)) {
            ++rows;
            break;
          }
        }
      }
      return rows;
    };
    ASSERT_TRUE(WaitUntil([&] { return grey_rows(v.Shot(), h / 2 - 30, h / 2) > 3; }, kWaitMs));
    const Capture shot = Settled(v);
    v.Save(shot, L"view_load_error.png");
    EXPECT_GT(grey_rows(shot, h / 2, h / 2 + 30), 3);
    EXPECT_EQ(grey_rows(shot, 0, h / 2 - 60), 0);
  }
  {
    Viewer v;
    ASSERT_TRUE(WriteFileBytes(v.data.File(L"main.log.on"), ""));
    ASSERT_NO_FATAL_FAILURE(v.Start(L""));
    const int w = v.Width(), h = v.Height();
    // The open button's place: 7 right of the slogan (340 x 96), 87 below it.
    const int x = (w - 340) / 2, y = (h - 96 - 52) / 2;
    POINT button = v.At(x + 7 + 75, y + 96 + 87 + 20);
    ASSERT_TRUE(WaitUntil(
        [&] { return ColorNear(v.Shot().At(x + 7 + 5, y + 96 + 87 + 20), 38, 110, 200, 40); },
        kWaitMs));
    v.Save(Settled(v), L"view_welcome.png");
    // Absolute input coordinates are rounded: some screen points cannot be hit exactly.
    bool reached = false;
    for (int dy = 0; dy < 4 && !reached; ++dy) {
      for (int dx = 0; dx < 4 && !reached; ++dx) {
        const POINT p = {button.x + dx, button.y + dy};
        if (MoveMouse(p)) {
          button = p;
          reached = true;
        }
      }
    }
    ASSERT_TRUE(reached);
    ASSERT_TRUE(Click(button));
    EXPECT_TRUE(WaitUntil(
        [&] {
          for (const std::string& line : ReadLines(v.process.DataFile(L"main.log"))) {
            if (line.find("command 21000") != std::string::npos) return true;
          }
          return false;
        },
        kWaitMs));
    EXPECT_EQ(Caption(v.main), L"Lumora Viewer");
  }
}
