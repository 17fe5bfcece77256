#include "basic_lib/singleton.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_constructed{0};
std::atomic<int> g_destroyed{0};

struct Counted {
  Counted() {
    ++g_constructed;
    // Widen the window in which a racing second creation would show.
    ::Sleep(20);
  }
  ~Counted() { ++g_destroyed; }
  int value = 7;
};

TEST(SingletonTest, ConcurrentFirstCallsCreateOneObjectAndDestroyEndsIt) {
  using Holder = basic_lib::CSingletonT<Counted>;
  EXPECT_FALSE(Holder::Exists());
  std::vector<std::thread> threads;
  std::vector<Counted*> seen(8, nullptr);
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([i, &seen] { seen[i] = &Holder::Instance(); });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(1, g_constructed.load());
  for (Counted* p : seen) EXPECT_EQ(seen[0], p);
  EXPECT_EQ(7, Holder::Instance().value);

  Holder::Destroy();
  EXPECT_EQ(1, g_destroyed.load());
  EXPECT_FALSE(Holder::Exists());
  Holder::Destroy();  // a second destroy is harmless
  EXPECT_EQ(1, g_destroyed.load());
  Holder::Instance();
  EXPECT_EQ(2, g_constructed.load());
  Holder::Destroy();
}

}  // namespace
