#include <windows.h>

#include "display/local_clock.h"

namespace brumo {
namespace {

// FILETIME counts 100 ns steps from 1601-01-01 00:00 UTC; Unix time counts seconds from 1970.
constexpr long long kFileTimeTicksPerSecond = 10'000'000;
constexpr long long kSecondsFrom1601To1970 = 11'644'473'600;

// The longest LOCALE_SDATE Windows allows, its terminating null included.
constexpr int kSeparatorChars = 4;

ClockReading FromSystemTime(const SYSTEMTIME& st) {
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace

// Windows keeps GetLocalTime in step with the time-zone settings by itself.
ClockReading LocalClock::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  subsecond_ = static_cast<long>(st.wMilliseconds) * 1'000'000;
  return FromSystemTime(st);
}

ClockReading LocalReadingAt(long long unix_seconds) {
  const long long ticks = (unix_seconds + kSecondsFrom1601To1970) * kFileTimeTicksPerSecond;
  if (ticks < 0) return {};
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(static_cast<unsigned long long>(ticks) & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(ticks) >> 32);
  SYSTEMTIME utc;
  SYSTEMTIME local;
  if (!FileTimeToSystemTime(&ft, &utc)) return {};
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return {};
  return FromSystemTime(local);
}

DateSeparator UserDateSeparator() {
  wchar_t wide[kSeparatorChars] = {};
  const int wide_len =
      GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDATE, wide, kSeparatorChars);
  // The length counts the terminating null; 1 is an empty separator.
  if (wide_len <= 1) return DateSeparator(kDefaultDateSeparator);
  for (int i = 0; i < wide_len - 1; ++i) {
    if (wide[i] < L' ' || wide[i] == 0x7F) return DateSeparator(kDefaultDateSeparator);
  }
  char utf8[DateSeparator::capacity()];
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide, wide_len - 1, utf8, sizeof utf8, nullptr, nullptr);
  if (n <= 0) return DateSeparator(kDefaultDateSeparator);
  return DateSeparator(std::string_view(utf8, static_cast<std::size_t>(n)));
}

}  // namespace brumo
