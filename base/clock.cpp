#include "clock.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>

namespace velmora {
namespace {

constexpr int64_t kMsPerDay = 86400000;
// 30 December 1899 as days since 1 January 1970.
constexpr int64_t kOleEpochDays = -25569;
// 1 January 100 and 31 December 9999 as OLE dates.
constexpr double kOleMin = -657434.0;
constexpr double kOleMax = 2958465.99999999;

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, DateTime& t) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
}

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

}  // namespace

std::string FormatDateTime(const DateTimeFormat& format, const DateTime& t) {
  std::string text = format.ShortDate(t);
  if (t.hour != 0 || t.minute != 0 || t.second != 0) text += " " + format.LongTime(t);
  return text;
}

std::string FormatElapsed(int64_t elapsedMs) {
  if (elapsedMs < 0) elapsedMs = 0;
  const int64_t ms = elapsedMs % kMsPerDay;  // a time of day wraps at midnight
  return std::to_string(ms / 3600000) + ":" + TwoDigits(static_cast<int>(ms / 60000 % 60)) + ":" +
         TwoDigits(static_cast<int>(ms / 1000 % 60));
}

double ToOleDate(const DateTime& t) {
  const int64_t days = DaysFromCivil(t.year, t.month, t.day) - kOleEpochDays;
  const double fraction =
      (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.millisecond) / kMsPerDay;
  // Before the epoch the whole part counts back while the fraction still counts forward.
  return days >= 0 ? days + fraction : days - fraction;
}

bool IsValidOleDate(double oleDate) {
  return std::isfinite(oleDate) && oleDate >= kOleMin && oleDate <= kOleMax;
}

DateTime FromOleDate(double oleDate) {
  if (!IsValidOleDate(oleDate)) oleDate = 0.0;
  int64_t days = static_cast<int64_t>(std::trunc(oleDate));
  int64_t ms = std::llround(std::fabs(oleDate - static_cast<double>(days)) * kMsPerDay);
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++days;
  }
  DateTime t;
  CivilFromDays(days + kOleEpochDays, t);
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

DateTime SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const std::time_t secs = std::chrono::system_clock::to_time_t(now);
  const std::tm tm = detail::LocalTime(secs);
  DateTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second is no time of day here
  t.millisecond = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
      1000);
  if (t.millisecond < 0) t.millisecond += 1000;
  return t;
}

int64_t SystemClock::MonotonicMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SystemClock::SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Clock::SleepUntilUs(int64_t deadlineUs) {
  const int64_t rest = deadlineUs - MonotonicUs();
  if (rest > 0) SleepMs(static_cast<int>((rest + 999) / 1000));
}

int64_t SystemClock::MonotonicUs() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// An absolute deadline: time spent before the call (a repaint, the block report) comes
// out of the pause instead of being added to it.
void SystemClock::SleepUntilUs(int64_t deadlineUs) {
  const std::chrono::steady_clock::time_point deadline{std::chrono::microseconds(deadlineUs)};
  if (std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_until(deadline);
}

std::string FixedDateTimeFormat::ShortDate(const DateTime& t) const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
  return buf;
}

std::string FixedDateTimeFormat::LongTime(const DateTime& t) const {
  return std::to_string(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

}  // namespace velmora
