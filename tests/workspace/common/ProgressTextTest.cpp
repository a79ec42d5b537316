// What the progress window and the console line say.
#include <gtest/gtest.h>

#include "workspace/common/ProgressText.h"

namespace {

using namespace std::chrono_literals;

TEST(ProgressText, CountsAndDurations) {
  const std::pair<std::uint64_t, const char*> counts[] = {
      {0, "0"}, {999, "999"}, {1000, "1,000"}, {49999, "49,999"}, {1234567, "1,234,567"}};
  for (const auto& [count, text] : counts) EXPECT_EQ(GroupedCount(count), text);
  const std::pair<std::chrono::seconds, const char*> durations[] = {
      {0s, "0:00"}, {65s, "1:05"}, {3599s, "59:59"}, {3723s, "1:02:03"}};
  for (const auto& [duration, text] : durations) EXPECT_EQ(DurationText(duration), text);
}

TEST(ProgressText, TimeLeftFollowsTheRateOfTheCurrentPart) {
  TransferControl::Progress progress;
  progress.what = "Articles";
  progress.started = TransferControl::Clock::time_point{};
  progress.phaseStarted = progress.started + 10s;  // an earlier part took 10 s
  progress.total = 49999;
  progress.done = 1234;
  const auto now = progress.phaseStarted + 20s;
  EXPECT_EQ(ProgressCountText(progress), "Articles 1,234 of 49,999");
  EXPECT_NEAR(ProgressRate(progress, now), 61.7, 0.01);
  EXPECT_EQ(TimeLeft(progress, now), std::chrono::seconds(791));  // 48,765 at 61.7 a second
  EXPECT_EQ(ProgressTimeText(progress, now), "Elapsed 0:30, about 13:11 left");

  progress.total = 0;  // a download: the register does not say how many
  EXPECT_EQ(ProgressCountText(progress), "Articles 1,234");
  EXPECT_FALSE(TimeLeft(progress, now));
  EXPECT_EQ(ProgressTimeText(progress, now), "Elapsed 0:30, time left unknown");
  progress.total = 10;
  progress.done = 0;  // nothing to measure a rate by yet
  EXPECT_FALSE(TimeLeft(progress, now));
}

}  // namespace
