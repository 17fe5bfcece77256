#include "document/current_document.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "render_support/render_test_util.h"

using namespace render_test;

namespace {

const bool kEnvironment = (InstallRenderEnvironment(), true);

struct TitleCall {
  std::wstring path;
  std::wstring date;
  SIZE size;
};

class CurrentDocumentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new std::wstring(MakeTempFolder(L"document"));
    ASSERT_TRUE(WriteTwoColourImage(*folder_ + L"\\tall.png", 300, 1300, GUID_ContainerFormatPng));
    ASSERT_TRUE(WriteTwoColourImage(*folder_ + L"\\wide.jpg", 640, 480, GUID_ContainerFormatJpeg));
  }
  static void TearDownTestSuite() { delete folder_; }
  void SetUp() override {
    doc_.SetTitleInfoSink([this](const std::wstring& path, const std::wstring& date, SIZE size) {
      titles_.push_back(TitleCall{path, date, size});
    });
  }
  static std::wstring* folder_;
  CurrentDocument doc_;
  std::vector<TitleCall> titles_;
};
std::wstring* CurrentDocumentTest::folder_ = nullptr;

// Blocks its worker until released; records whether it was cancelled or dropped.
class GateTask : public CAsyncTask {
 public:
  explicit GateTask(std::atomic<int>* runs) : runs_(runs) {}
  void Run() override {
    runs_->fetch_add(1);
    while (!release.load() && IsActive()) ::SwitchToThread();
    finished.store(true);
  }
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};

 private:
  std::atomic<int>* runs_;
};

TEST_F(CurrentDocumentTest, OpensAndCanonicalisesAnExistingFile) {
  doc_.Open(*folder_ + L"\\sub\\..\\wide.jpg");
  EXPECT_EQ(doc_.GetPath(), *folder_ + L"\\wide.jpg");
  ASSERT_NE(doc_.GetLoader(), nullptr);
  ASSERT_EQ(titles_.size(), 1u);
  EXPECT_EQ(titles_[0].path, doc_.GetPath());
  EXPECT_EQ(titles_[0].size.cx, 640);
  EXPECT_EQ(titles_[0].size.cy, 480);
  EXPECT_FALSE(doc_.IsLongImage());
}

TEST_F(CurrentDocumentTest, MissingFileKeepsThePathWithoutLoader) {
  const std::wstring missing = *folder_ + L"\\gone.jpg";
  doc_.Open(missing);
  EXPECT_EQ(doc_.GetPath(), missing);
  EXPECT_EQ(doc_.GetLoader(), nullptr);
  ASSERT_EQ(titles_.size(), 1u);
  EXPECT_EQ(titles_[0].size.cx, 0);
  EXPECT_EQ(titles_[0].size.cy, 0);
  EXPECT_FALSE(doc_.IsLongImage());
}

TEST_F(CurrentDocumentTest, LongImageNeedsMoreThanFourTimesTheWidth) {
  doc_.Open(*folder_ + L"\\tall.png");  // 300 x 1300: 1300 > 1200
  EXPECT_TRUE(doc_.IsLongImage());
}

TEST_F(CurrentDocumentTest, OpeningAnotherImageDropsAndCancelsRenderWork) {
  doc_.Open(*folder_ + L"\\wide.jpg");
  std::atomic<int> runs{0};
  auto running = std::make_shared<GateTask>(&runs);
  auto pending = std::make_shared<GateTask>(&runs);
  doc_.GetRenderQueue()->Enqueue(running);
  doc_.GetRenderQueue()->Enqueue(pending);
  ASSERT_TRUE(PumpUntil([&] { return runs.load() == 1; }));
  doc_.Open(L"");  // closes the image
  EXPECT_TRUE(doc_.GetPath().empty());
  EXPECT_EQ(doc_.GetLoader(), nullptr);
  EXPECT_FALSE(running->IsActive());
  EXPECT_EQ(doc_.GetRenderQueue()->PendingCount(), 0u);
  ASSERT_TRUE(PumpUntil([&] { return doc_.GetRenderQueue()->RunningCount() == 0; }));
  EXPECT_EQ(runs.load(), 1);  // the pending one never ran
}

TEST_F(CurrentDocumentTest, FlushQueueWaitsForRunningTasks) {
  std::atomic<int> runs{0};
  auto task = std::make_shared<GateTask>(&runs);
  doc_.GetRenderQueue()->Enqueue(task);
  ASSERT_TRUE(PumpUntil([&] { return runs.load() == 1; }));
  task->release.store(true);
  doc_.FlushQueue();
  EXPECT_TRUE(task->finished.load());
  doc_.Close();
  EXPECT_FALSE(doc_.HasRenderQueue());
  doc_.FlushQueue();  // creates a queue again and has nothing to wait for
  EXPECT_TRUE(doc_.HasRenderQueue());
}

TEST_F(CurrentDocumentTest, WiderPreviewWins) {
  doc_.Open(*folder_ + L"\\wide.jpg");
  EXPECT_FALSE(doc_.UsePreview());
  basic_lib::ScopedBitmap wide(MakeSolidBitmap(320, 240, RGB(10, 20, 30)));
  basic_lib::ScopedBitmap narrow(MakeSolidBitmap(200, 150, RGB(40, 50, 60)));
  doc_.SetPreview(wide.Get());
  EXPECT_TRUE(doc_.UsePreview());
  ASSERT_NE(doc_.GetPreview(), nullptr);
  doc_.SetPreview(narrow.Get());
  UINT w = 0, h = 0;
  ASSERT_TRUE(SUCCEEDED(doc_.GetPreview()->GetSize(&w, &h)));
  EXPECT_EQ(w, 320u);
  EXPECT_EQ(h, 240u);
  // A null bitmap only sets the flag.
  CurrentDocument other;
  other.SetPreview(nullptr);
  EXPECT_TRUE(other.UsePreview());
  EXPECT_EQ(other.GetPreview(), nullptr);
  // The next image starts without a preview.
  doc_.Open(*folder_ + L"\\tall.png");
  EXPECT_FALSE(doc_.UsePreview());
  EXPECT_EQ(doc_.GetPreview(), nullptr);
}

}  // namespace
