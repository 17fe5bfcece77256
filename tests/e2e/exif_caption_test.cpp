// A camera photo opened from the command line: the caption shows its displayed (turned) size
// and its capture date, read from the file's own EXIF block.
#include <gtest/gtest.h>

#include <string>

#include "e2e/driver/e2e_driver.h"

namespace {

using namespace e2e;

std::wstring Fixture(const std::wstring& relative) {
  std::wstring path = std::wstring(LUMORA_FIXTURES_DIR) + L"/exif_pictures/" + relative;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

TEST(ExifCaption, DateAndTurnedSizeInTheCaption) {
  TempDir data(L"exif");
  LaunchOptions options;
  options.data_dir = data.path();
  options.args = L"\"" + Fixture(L"shot/trip.jpg") + L"\"";
  Process viewer;
  ASSERT_TRUE(viewer.Start(options));
  HWND main = viewer.WaitWindow();
  ASSERT_NE(main, nullptr);

  // English texts: no megapixel part under one million pixels, the date as stored, the folder
  // position in brackets once the folder is collected.
  const std::wstring expected = L"trip.jpg ( 300x400 , 2019:05:04 13:02:09 ) - [1/1] 100%";
  const bool shown = WaitUntil([&] { return Caption(main) == expected; }, 15000);
  const std::wstring caption = Caption(main);
  EXPECT_TRUE(shown) << "caption: " << std::string(caption.begin(), caption.end());
  SaveCapture(CapturePainted(main), JoinPath(ArtifactDir(), L"exif_caption.png"));
}

}  // namespace
