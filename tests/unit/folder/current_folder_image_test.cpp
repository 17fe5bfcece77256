#include "folder/current_folder_image.h"

#include <exdisp.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "basic_lib/com_ptr.h"
#include "unit/test_support/pump_until.h"

namespace {

using Names = std::vector<std::wstring>;

bool PumpUntil(const std::function<bool()>& cond, DWORD timeout_ms = 10000) {
  return test_support::PumpUntil(cond, timeout_ms);
}

// A fresh folder under the test run's temporary folder.
std::wstring MakeTempFolder(const std::wstring& name) {
  static int counter = 0;
  std::wstring base;
  if (const wchar_t* tmp = ::_wgetenv(L"LUMORA_TEST_TMP")) {
    base = std::wstring(L"Z:") + tmp;
    for (wchar_t& c : base) {
      if (c == L'/') c = L'\\';
    }
  } else {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    base = temp;
  }
  if (base.back() != L'\\') base += L'\\';
  base += L"folder_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
  ::CreateDirectoryW(base.c_str(), nullptr);
  const std::wstring folder = base + L"\\" + name;
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void Touch(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ::CloseHandle(h);
}

// Receives the list-ready message like the image view.
class NotifyWindow : public FCMessageWindow {
 public:
  int ready = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_FOLDER_LIST_READY) {
      ++ready;
      return 0;
    }
    return FCMessageWindow::WindowProc(message, wparam, lparam);
  }
};

// Explorer stand-in: views by folder path; a view may be endless to keep a scan running.
struct FakeView {
  std::wstring path;
  Names items;
  bool endless = false;
};

class FakeExplorer : public folder::IExplorerWindowSource {
 public:
  explicit FakeExplorer(std::vector<FakeView> views) : views_(std::move(views)) {
    entered_endless_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~FakeExplorer() override { ::CloseHandle(entered_endless_); }

  std::unique_ptr<folder::IExplorerWindowList> Open() override;

  HANDLE entered_endless_;
  std::atomic<int> endless_items_read{0};
  std::atomic<int> opened{0};
  std::vector<FakeView> views_;
};

class FakeFolderView : public folder::IExplorerFolderView {
 public:
  FakeFolderView(FakeExplorer* owner, const FakeView* view) : owner_(owner), view_(view) {}
  bool GetFolderPath(std::wstring* path) override {
    if (view_->path.empty()) return false;  // a browser window
    *path = view_->path;
    return true;
  }
  int ItemCount() override {
    return view_->endless ? 0x7fffffff : static_cast<int>(view_->items.size());
  }
  bool ItemName(int position, std::wstring* name) override {
    if (view_->endless) {
      ::SetEvent(owner_->entered_endless_);
      ++owner_->endless_items_read;
      ::SwitchToThread();
      *name = L"x" + std::to_wstring(position) + L".jpg";
      return true;
    }
    *name = view_->items[static_cast<size_t>(position)];
    return true;
  }

 private:
  FakeExplorer* owner_;
  const FakeView* view_;
};

class FakeWindowList : public folder::IExplorerWindowList {
 public:
  explicit FakeWindowList(FakeExplorer* owner) : owner_(owner) {}
  int WindowCount() override { return static_cast<int>(owner_->views_.size()); }
  std::unique_ptr<folder::IExplorerFolderView> GetView(int index) override {
    return std::make_unique<FakeFolderView>(owner_, &owner_->views_[static_cast<size_t>(index)]);
  }

 private:
  FakeExplorer* owner_;
};

std::unique_ptr<folder::IExplorerWindowList> FakeExplorer::Open() {
  ++opened;
  return std::make_unique<FakeWindowList>(this);
}

class FolderListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(notify_.Create());
    // img2.jpg, img10.jpg, Img1.png, notes.txt and a folder named like a picture.
    folder_ = MakeTempFolder(L"pictures");
    for (const wchar_t* name : {L"img2.jpg", L"img10.jpg", L"Img1.png", L"notes.txt"}) {
      Touch(folder_ + L"\\" + name);
    }
    ::CreateDirectoryW((folder_ + L"\\album.jpg").c_str(), nullptr);
  }

  std::unique_ptr<CCurrentFolderImage> MakeList(
      std::shared_ptr<folder::IExplorerWindowSource> src) {
    auto list = std::make_unique<CCurrentFolderImage>(std::move(src));
    list->SetPositionHandler([this](int index, int count) {
      positions_.push_back({index, count});
    });
    list->SetListHandler(
        [this](const std::wstring& folder, int index, const std::deque<std::wstring>& names) {
          preload_folder_ = folder;
          preload_index_ = index;
          preload_count_ = static_cast<int>(names.size());
        });
    return list;
  }

  // Collects and waits until the scan is over and the view was told.
  void CollectAndWait(CCurrentFolderImage* list, const std::wstring& path) {
    const int before = notify_.ready;
    list->Collect(notify_.GetSafeHwnd(), path);
    ASSERT_TRUE(PumpUntil([&] { return !list->IsScanning() && notify_.ready > before; }));
  }

  static Names ToVector(const std::deque<std::wstring>& names) {
    return Names(names.begin(), names.end());
  }

  NotifyWindow notify_;
  std::wstring folder_;
  std::vector<std::pair<int, int>> positions_;
  std::wstring preload_folder_;
  int preload_index_ = -2;
  int preload_count_ = -1;
};

TEST_F(FolderListTest, NaturalOrderWithoutExplorerWindow) {
  auto list = MakeList(std::make_shared<FakeExplorer>(std::vector<FakeView>{}));
  list->Collect(notify_.GetSafeHwnd(), folder_ + L"\\img2.jpg");
  // Position 1 of 1 at once, navigation off while the scan runs.
  ASSERT_FALSE(positions_.empty());
  EXPECT_EQ(positions_.front(), std::make_pair(0, 1));
  ASSERT_TRUE(PumpUntil([&] { return !list->IsScanning() && notify_.ready > 0; }));

  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"Img1.png", L"img2.jpg", L"img10.jpg"}));
  EXPECT_EQ(list->GetCurrentIndex(), 1);
  EXPECT_EQ(list->GetFolder(), folder_);
  EXPECT_EQ(positions_.back(), std::make_pair(1, 3));
  EXPECT_EQ(preload_folder_, folder_);
  EXPECT_EQ(preload_index_, 1);
  EXPECT_EQ(preload_count_, 3);
  EXPECT_EQ(list->GetNeighbourPath(-1, false), folder_ + L"\\Img1.png");
  EXPECT_EQ(list->GetNeighbourPath(+1, false), folder_ + L"\\img10.jpg");

  // Stepping inside the folder (any case) is a lookup, not a rescan.
  const int ready = notify_.ready;
  list->Collect(notify_.GetSafeHwnd(), folder_ + L"\\IMG10.JPG");
  EXPECT_FALSE(list->IsScanning());
  EXPECT_EQ(list->GetCurrentIndex(), 2);
  EXPECT_EQ(notify_.ready, ready + 1);  // sent, not posted
  EXPECT_EQ(positions_.back(), std::make_pair(2, 3));
}

TEST_F(FolderListTest, RealShellWindowsFindNoWindowHere) {
  // Under Wine the collection exists but lists no window: natural order.
  auto list = MakeList(folder::CreateShellWindowSource());
  CollectAndWait(list.get(), folder_ + L"\\img10.jpg");
  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"Img1.png", L"img2.jpg", L"img10.jpg"}));
  EXPECT_EQ(list->GetCurrentIndex(), 2);

  basic_lib::ScopedComInit com;
  std::atomic<LONG> cancel{0};
  auto source = folder::CreateShellWindowSource();
  EXPECT_TRUE(folder::QueryExplorerOrder(source.get(), folder_, cancel).empty());
  basic_lib::ComPtr<IShellWindows> windows;
  if (SUCCEEDED(
          ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&windows)))) {
    long count = -1;
    const HRESULT hr = windows->get_Count(&count);
    std::printf("IShellWindows::get_Count: hr=0x%08lX count=%ld\n", static_cast<unsigned long>(hr),
                count);
  }
}

TEST_F(FolderListTest, ExplorerOrderWins) {
  // A browser window first, a window on another folder, then ours sorted by date. Case of the
  // path differs; folders and non-images are left out.
  std::wstring upper = folder_;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
  auto explorer = std::make_shared<FakeExplorer>(std::vector<FakeView>{
      {L"", {}},
      {L"C:\\elsewhere", {L"img2.jpg"}},
      {upper, {L"img10.jpg", L"album.jpg", L"notes.txt", L"Img1.png", L"img2.jpg"}},
  });
  auto list = MakeList(explorer);
  CollectAndWait(list.get(), folder_ + L"\\img2.jpg");
  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"img10.jpg", L"Img1.png", L"img2.jpg"}));
  EXPECT_EQ(list->GetCurrentIndex(), 2);
  EXPECT_EQ(list->GetNeighbourPath(+1, false), L"");
  EXPECT_EQ(list->GetNeighbourPath(+1, true), folder_ + L"\\img10.jpg");
}

TEST_F(FolderListTest, FilteredExplorerViewFallsBackToNaturalOrder) {
  // The view hides the current image (a filter): natural order instead.
  auto explorer =
      std::make_shared<FakeExplorer>(std::vector<FakeView>{{folder_, {L"img10.jpg", L"Img1.png"}}});
  auto list = MakeList(explorer);
  CollectAndWait(list.get(), folder_ + L"\\img2.jpg");
  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"Img1.png", L"img2.jpg", L"img10.jpg"}));
  EXPECT_EQ(list->GetCurrentIndex(), 1);
}

TEST_F(FolderListTest, NeighboursWithAndWithoutLoop) {
  auto list = MakeList(std::make_shared<FakeExplorer>(std::vector<FakeView>{}));
  CollectAndWait(list.get(), folder_ + L"\\Img1.png");
  struct Case {
    const wchar_t* current;
    int delta;
    bool loop;
    const wchar_t* expected;  // empty: no move
  } cases[] = {
      {L"Img1.png", -1, false, L""},         {L"Img1.png", -1, true, L"img10.jpg"},
      {L"Img1.png", +1, false, L"img2.jpg"}, {L"img10.jpg", +1, false, L""},
      {L"img10.jpg", +1, true, L"Img1.png"}, {L"img10.jpg", -1, false, L"img2.jpg"},
  };
  for (const Case& c : cases) {
    list->Collect(notify_.GetSafeHwnd(), folder_ + L"\\" + c.current);
    ASSERT_FALSE(list->IsScanning());
    const std::wstring expected = *c.expected ? folder_ + L"\\" + c.expected : L"";
    EXPECT_EQ(list->GetNeighbourPath(c.delta, c.loop), expected)
        << c.current << " " << c.delta << " " << c.loop;
    EXPECT_EQ(list->CanMove(c.delta, c.loop), !expected.empty());
  }
}

TEST_F(FolderListTest, SingleImageNeverMoves) {
  const std::wstring single = MakeTempFolder(L"single");
  Touch(single + L"\\only.jpg");
  Touch(single + L"\\readme.txt");
  auto list = MakeList(std::make_shared<FakeExplorer>(std::vector<FakeView>{}));
  CollectAndWait(list.get(), single + L"\\only.jpg");
  EXPECT_EQ(list->GetCount(), 1);
  for (int delta : {-1, +1}) {
    for (bool loop : {false, true}) {
      EXPECT_FALSE(list->CanMove(delta, loop));
      EXPECT_EQ(list->GetNeighbourPath(delta, loop), L"");
    }
  }
  // Deleting the only image leaves nothing.
  EXPECT_EQ(list->RemoveFile(single + L"\\only.jpg"), L"");
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(list->GetCurrentIndex(), -1);
  EXPECT_TRUE(list->GetFolder().empty());
}

TEST_F(FolderListTest, VanishedFileKeepsTheOneNameList) {
  auto list = MakeList(std::make_shared<FakeExplorer>(std::vector<FakeView>{}));
  CollectAndWait(list.get(), folder_ + L"\\gone.jpg");
  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"gone.jpg"}));
  EXPECT_EQ(list->GetCurrentIndex(), 0);
  EXPECT_FALSE(list->CanMove(+1, true));
}

TEST_F(FolderListTest, NewFolderCancelsRunningScan) {
  const std::wstring other = MakeTempFolder(L"other");
  Touch(other + L"\\b.jpg");
  Touch(other + L"\\a.jpg");
  // The first folder's Explorer view never ends: only the cancel flag stops that scan.
  auto explorer = std::make_shared<FakeExplorer>(std::vector<FakeView>{{folder_, {}, true}});
  auto list = MakeList(explorer);
  list->Collect(notify_.GetSafeHwnd(), folder_ + L"\\img2.jpg");
  ASSERT_EQ(::WaitForSingleObject(explorer->entered_endless_, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(list->IsScanning());
  EXPECT_FALSE(list->CanMove(+1, true));
  EXPECT_EQ(list->GetNeighbourPath(-1, true), L"");
  EXPECT_EQ(positions_.back(), std::make_pair(0, 1));

  CollectAndWait(list.get(), other + L"\\b.jpg");
  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"a.jpg", L"b.jpg"}));
  EXPECT_EQ(list->GetCurrentIndex(), 1);
  EXPECT_EQ(list->GetFolder(), other);
  // The cancelled scan stopped reading the endless view and reported nothing.
  const int read = explorer->endless_items_read.load();
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(explorer->endless_items_read.load(), read);
  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"a.jpg", L"b.jpg"}));
}

TEST_F(FolderListTest, StopAndDestroyDuringScanReturn) {
  auto explorer = std::make_shared<FakeExplorer>(std::vector<FakeView>{{folder_, {}, true}});
  auto list = MakeList(explorer);
  list->Collect(notify_.GetSafeHwnd(), folder_ + L"\\img2.jpg");
  ASSERT_EQ(::WaitForSingleObject(explorer->entered_endless_, 10000), WAIT_OBJECT_0);
  // Deleting during a scan: the scan ends and the list empties.
  EXPECT_EQ(list->RemoveFile(folder_ + L"\\img2.jpg"), L"");
  EXPECT_FALSE(list->IsScanning());
  EXPECT_EQ(list->GetCount(), 0);

  ::ResetEvent(explorer->entered_endless_);
  list->Collect(notify_.GetSafeHwnd(), folder_ + L"\\img2.jpg");
  ASSERT_EQ(::WaitForSingleObject(explorer->entered_endless_, 10000), WAIT_OBJECT_0);
  list.reset();  // the destructor cancels and waits
  SUCCEED();
}

TEST_F(FolderListTest, DeleteMovesToTheFollowingImage) {
  auto list = MakeList(std::make_shared<FakeExplorer>(std::vector<FakeView>{}));
  CollectAndWait(list.get(), folder_ + L"\\img2.jpg");
  // The middle one: its follower takes its place.
  EXPECT_EQ(list->RemoveFile(folder_ + L"\\img2.jpg"), folder_ + L"\\img10.jpg");
  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"Img1.png", L"img10.jpg"}));
  // The last one: the new last is shown.
  list->Collect(notify_.GetSafeHwnd(), folder_ + L"\\img10.jpg");
  EXPECT_EQ(list->GetCurrentIndex(), 1);
  EXPECT_EQ(list->RemoveFile(folder_ + L"\\IMG10.jpg"), folder_ + L"\\Img1.png");
  EXPECT_EQ(list->GetCurrentIndex(), 0);
  EXPECT_EQ(list->RemoveFile(folder_ + L"\\Img1.png"), L"");
  EXPECT_EQ(list->GetCurrentIndex(), -1);
}

}  // namespace

namespace {

TEST_F(FolderListTest, StopAnswersAScanResultAlreadyQueued) {
  auto list = MakeList(std::make_shared<FakeExplorer>(std::vector<FakeView>{}));
  list->Collect(notify_.GetSafeHwnd(), folder_ + L"\\img2.jpg");
  // Without pumping, wait until the scan's final send sits in this thread's queue.
  const ULONGLONG deadline = ::GetTickCount64() + 10000;
  while ((HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) == 0) {
    ASSERT_LT(::GetTickCount64(), deadline);
    ::SwitchToThread();
  }
  // The window goes first: the queued result is dropped, not applied, and Stop returns.
  list->Stop();
  EXPECT_FALSE(list->IsScanning());
  EXPECT_EQ(ToVector(list->GetNames()), (Names{L"img2.jpg"}));
  EXPECT_EQ(list->GetCurrentIndex(), 0);
}

}  // namespace
