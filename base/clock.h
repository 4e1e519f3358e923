// Time as the core sees it: an injectable clock and the regional formatter.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

namespace velmora {

struct DateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;            // local date and time
  virtual int64_t MonotonicMs() const = 0;     // for elapsed times
  virtual void SleepMs(int ms) = 0;
  // The same time base in microseconds, for pauses that end at a set moment.
  virtual int64_t MonotonicUs() const { return MonotonicMs() * 1000; }
  // Returns at `deadlineUs` (MonotonicUs time), at once when it has passed. A clock
  // that counts only milliseconds waits the rest in whole milliseconds.
  virtual void SleepUntilUs(int64_t deadlineUs);
};

// The system's regional short date and long time formats. Results are CP1251.
class DateTimeFormat {
 public:
  virtual ~DateTimeFormat() = default;
  virtual std::string ShortDate(const DateTime& t) const = 0;
  virtual std::string LongTime(const DateTime& t) const = 0;
};

// Short date, a blank and the long time; only the date when the time is 00:00:00.
std::string FormatDateTime(const DateTimeFormat& format, const DateTime& t);
// An elapsed time as the status bar shows it, "0:00:07": hours unpadded, wrapping at a
// day. Not the regional format: "00:00:07" or an AM/PM mark would not fit panel 0.
std::string FormatElapsed(int64_t elapsedMs);

// OLE date: days since 30 December 1899, the fraction being the time of day.
double ToOleDate(const DateTime& t);
// Values that are not finite or lie outside the years 100..9999 give 30 December 1899.
DateTime FromOleDate(double oleDate);
bool IsValidOleDate(double oleDate);

class SystemClock : public Clock {
 public:
  DateTime Now() const override;
  int64_t MonotonicMs() const override;
  void SleepMs(int ms) override;
  int64_t MonotonicUs() const override;
  void SleepUntilUs(int64_t deadlineUs) override;
};

// "dd.MM.yyyy" and "H:mm:ss": the Russian regional formats, used by the CLI and tests.
class FixedDateTimeFormat : public DateTimeFormat {
 public:
  std::string ShortDate(const DateTime& t) const override;
  std::string LongTime(const DateTime& t) const override;
};

namespace detail {
// The broken-down local time of `secs`, from the system's thread-safe call (clock_*.cpp).
std::tm LocalTime(std::time_t secs);
}  // namespace detail

}  // namespace velmora
