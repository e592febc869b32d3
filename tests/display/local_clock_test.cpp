#include "display/local_clock.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <locale.h>
#endif
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include "display/refresh.h"

namespace brumo {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    Set(value);
  }
  ~ScopedEnv() { Set(had_ ? old_.c_str() : nullptr); }

 private:
  void Set(const char* value) {
#ifdef _WIN32
    _putenv_s(name_, value ? value : "");
#else
    value ? setenv(name_, value, 1) : unsetenv(name_);
#endif
    tzset();
  }
  const char* name_;
  std::string old_;
  bool had_ = false;
};

bool SameReading(const ClockReading& a, const ClockReading& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

[[maybe_unused]] std::string Show(const ClockReading& r) {
  Phrases p;
  p.InitBrumo();
  LabelTexts l;
  RefreshTick(r, p, "/", l);
  return std::string(l[kData]) + " " + std::string(l[kOra]) + ":" + std::string(l[kMin]) + ":" +
         std::string(l[kSec]) + " " + std::string(l[kScritta]);
}

TEST(LocalClock, ReadsTheSystemClockNow) {
  LocalClock clock;
  for (int attempt = 0; attempt < 3; ++attempt) {
    // The system clock as precisely as the clock reads it: time() may read a coarser clock that
    // is still in the second before.
    const auto seconds = [] {
      return static_cast<long long>(
          std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
    };
    const long long before = seconds();
    const ClockReading now = clock.Now();
    if (seconds() != before) continue;  // a second went by
    EXPECT_TRUE(SameReading(now, LocalReadingAt(before)));
    return;
  }
  FAIL() << "the clock never held still for a second";
}

#ifndef _WIN32
TEST(LocalClock, FollowsRomeAcrossDaylightSaving) {
  ScopedEnv tz("TZ", "Europe/Rome");
  // 2026-03-29: 02:00 CET jumps to 03:00 CEST.
  EXPECT_EQ(Show(LocalReadingAt(1774745999)), "29/03/2026 1:59:59 Le due");
  EXPECT_EQ(Show(LocalReadingAt(1774746000)), "29/03/2026 3:00:00 Le tre");
  // 2026-10-25: 03:00 CEST falls back to 02:00 CET; the hour from 2 to 3 comes twice.
  EXPECT_EQ(Show(LocalReadingAt(1792889999)), "25/10/2026 2:59:59 Le tre");
  EXPECT_EQ(Show(LocalReadingAt(1792890000)), "25/10/2026 2:00:00 Le due");
  // New Year and a leap day.
  EXPECT_EQ(Show(LocalReadingAt(1798758000)), "01/01/2027 0:00:00 Mezzanotte");
  EXPECT_EQ(Show(LocalReadingAt(1709161200)), "29/02/2024 0:00:00 Mezzanotte");
}

TEST(DateSeparatorOfTheUser, ComesFromTheLocaleOfLcTime) {
  struct Case {
    const char* locale;
    const char* separator;
  };
  const Case cases[] = {{"de_DE.UTF-8", "."},
                        {"it_IT.UTF-8", "/"},
                        {"cs_CZ.UTF-8", "."},               // "%-d.%-m.%Y"
                        {"ko_KR.UTF-8", "\xEB\x85\x84 "}};  // a syllable and a space
  int ran = 0;
  for (const Case& c : cases) {
    locale_t probe = newlocale(LC_TIME_MASK, c.locale, static_cast<locale_t>(nullptr));
    if (probe == static_cast<locale_t>(nullptr)) continue;
    freelocale(probe);
    ScopedEnv all("LC_ALL", c.locale);
    EXPECT_EQ(UserDateSeparator().view(), c.separator) << c.locale;
    ++ran;
  }
  if (ran == 0) GTEST_SKIP() << "none of de_DE, it_IT, cs_CZ, ko_KR is generated here (localedef)";
}

TEST(DateSeparatorOfTheUser, IsASlashWhereTheLocaleCannotBeHad) {
  {
    ScopedEnv all("LC_ALL", "xx_NOWHERE.garbage");
    EXPECT_EQ(UserDateSeparator().view(), "/");
  }
  {
    ScopedEnv all("LC_ALL", "C");
    EXPECT_EQ(UserDateSeparator().view(), "/");  // "%m/%d/%y"
  }
}
#endif

}  // namespace
}  // namespace brumo
