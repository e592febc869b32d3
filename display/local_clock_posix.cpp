#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>

#include "display/local_clock.h"

namespace brumo {
namespace {

// Where glibc reads the system time zone when TZ is unset.
constexpr const char* kSystemZoneFile = "/etc/localtime";

}  // namespace

ClockReading LocalClock::Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  subsecond_ = ts.tv_nsec;

  // localtime_r never re-reads the zone by itself, and tzset() re-reads it (allocating) on every
  // call; so look at the zone file when told it may have changed, or else once a second, and call
  // tzset() only when it did change.
  if (zone_watched_ ? zone_stale_ : ts.tv_sec != zone_checked_at_) {
    zone_checked_at_ = ts.tv_sec;
    zone_stale_ = false;
    struct stat st {};
    if (std::getenv("TZ") == nullptr && stat(kSystemZoneFile, &st) == 0) {
      const std::array<long long, 5> stamp{
          static_cast<long long>(st.st_dev), static_cast<long long>(st.st_ino),
          static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
          static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec};
      if (stamp != zone_stamp_) {
        if (zone_stamp_ != std::array<long long, 5>{}) tzset();
        zone_stamp_ = stamp;
        reading_known_ = false;
      }
    }
  }

  if (!reading_known_ || ts.tv_sec != reading_at_) {
    reading_ = LocalReadingAt(ts.tv_sec);
    reading_at_ = ts.tv_sec;
    reading_known_ = true;
  }
  return reading_;
}

ClockReading LocalReadingAt(long long unix_seconds) {
  const time_t t0 = static_cast<time_t>(unix_seconds);
  tm t{};
  if (localtime_r(&t0, &t) == nullptr) return {};
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

DateSeparator UserDateSeparator() {
  // The user's LC_TIME without touching the process's own locale.
  locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return DateSeparator(kDefaultDateSeparator);
  const char* fmt = nl_langinfo_l(D_FMT, loc);
  DateSeparator sep = SeparatorFromDateFormat(fmt != nullptr ? fmt : "");
  freelocale(loc);
  return sep;
}

}  // namespace brumo
