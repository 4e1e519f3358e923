#include <gtest/gtest.h>

#include <limits>

#include "base/clock.h"

using namespace velmora;

namespace {
void ExpectSame(const DateTime& a, const DateTime& b) {
  EXPECT_EQ(a.year, b.year);
  EXPECT_EQ(a.month, b.month);
  EXPECT_EQ(a.day, b.day);
  EXPECT_EQ(a.hour, b.hour);
  EXPECT_EQ(a.minute, b.minute);
  EXPECT_EQ(a.second, b.second);
  EXPECT_EQ(a.millisecond, b.millisecond);
}
}  // namespace

TEST(Clock, FixedFormatsAndDateTime) {
  const FixedDateTimeFormat f;
  EXPECT_EQ(FormatDateTime(f, DateTime{2026, 12, 7, 14, 5, 9, 0}), "07.12.2026 14:05:09");
  EXPECT_EQ(FormatDateTime(f, DateTime{2026, 3, 1, 0, 0, 1, 0}), "01.03.2026 0:00:01");
  EXPECT_EQ(FormatDateTime(f, DateTime{2026, 3, 1, 0, 0, 0, 999}), "01.03.2026");
}

TEST(Clock, ElapsedTimeIsWrittenAsATimeOfDay) {
  const FixedDateTimeFormat f;
  EXPECT_EQ(FormatElapsed(7000), "0:00:07");
  EXPECT_EQ(FormatElapsed(7999), "0:00:07");
  EXPECT_EQ(FormatElapsed(3723000), "1:02:03");
  EXPECT_EQ(FormatElapsed(-5), "0:00:00");
  EXPECT_EQ(FormatElapsed(86400000 + 61000), "0:01:01");
}

TEST(Clock, OleDates) {
  EXPECT_DOUBLE_EQ(ToOleDate(DateTime{1899, 12, 30, 0, 0, 0, 0}), 0.0);
  EXPECT_DOUBLE_EQ(ToOleDate(DateTime{1900, 1, 1, 0, 0, 0, 0}), 2.0);
  EXPECT_DOUBLE_EQ(ToOleDate(DateTime{2000, 1, 1, 12, 0, 0, 0}), 36526.5);
  EXPECT_DOUBLE_EQ(ToOleDate(DateTime{1899, 12, 29, 6, 0, 0, 0}), -1.25);
  ExpectSame(FromOleDate(-1.25), DateTime{1899, 12, 29, 6, 0, 0, 0});
  ExpectSame(FromOleDate(36526.5), DateTime{2000, 1, 1, 12, 0, 0, 0});
  const DateTime t{2026, 12, 7, 14, 5, 9, 250};
  ExpectSame(FromOleDate(ToOleDate(t)), t);
  const DateTime leap{2024, 2, 29, 23, 59, 59, 999};
  ExpectSame(FromOleDate(ToOleDate(leap)), leap);
}

TEST(Clock, UnusableOleDatesGiveTheEpoch) {
  for (double bad : {1e300, -1e300, 3e6, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(IsValidOleDate(bad));
    ExpectSame(FromOleDate(bad), DateTime{1899, 12, 30, 0, 0, 0, 0});
  }
  EXPECT_TRUE(IsValidOleDate(0.0));
  EXPECT_TRUE(IsValidOleDate(2958465.5));
}

TEST(Clock, SystemClockAdvances) {
  SystemClock clock;
  const int64_t before = clock.MonotonicMs();
  clock.SleepMs(20);
  EXPECT_GE(clock.MonotonicMs() - before, 20);
  const DateTime now = clock.Now();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_LE(now.second, 59);
  EXPECT_LT(now.millisecond, 1000);
}
