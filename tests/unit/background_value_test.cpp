// A value worked out on a thread of its own: taken once, made on the spot
// otherwise, and never left running at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "base/background_value.h"

TEST(BackgroundValue, TakenOnceThenMadeOnTheSpot) {
  base::BackgroundValue<std::string> value;
  std::atomic<int> runs{0};
  value.Start([&] {
    ++runs;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // still running at Take
    return std::string("ahead");
  });
  value.Start([&] {
    ++runs;
    return std::string("second start");
  });
  EXPECT_EQ(value.Take([] { return std::string("here"); }), "ahead");
  EXPECT_EQ(runs.load(), 1);
  EXPECT_EQ(value.Take([] { return std::string("here"); }), "here");
}

TEST(BackgroundValue, WithoutAStartTheValueIsMadeOnTheSpot) {
  base::BackgroundValue<int> value;
  EXPECT_EQ(value.Take([] { return 7; }), 7);
  value.Start([] { return 9; });  // a start after a take still works
  EXPECT_EQ(value.Take([] { return 7; }), 9);
}

TEST(BackgroundValue, AnUntakenValueIsWaitedForAtTheEnd) {
  std::atomic<bool> finished{false};
  {
    base::BackgroundValue<int> value;
    value.Start([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      finished = true;
      return 1;
    });
  }
  EXPECT_TRUE(finished.load());
}
