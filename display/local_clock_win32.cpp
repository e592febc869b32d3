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

using ReadSystemTime = void(WINAPI*)(FILETIME*);

// The system time to the tenth of a microsecond where Windows can tell it (8 on): the plain
// reading, like GetLocalTime's, moves on only at each timer interrupt, by default every 15.6 ms,
// and a tick that wakes just after the second would still read the one before.
ReadSystemTime SystemTimeReader() {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  const FARPROC precise =
      kernel32 != nullptr ? GetProcAddress(kernel32, "GetSystemTimePreciseAsFileTime") : nullptr;
  // GetProcAddress gives every function one type; a pointer to void () converts to any other.
  return precise != nullptr
             ? reinterpret_cast<ReadSystemTime>(reinterpret_cast<void (*)()>(precise))
             : &GetSystemTimeAsFileTime;
}

}  // namespace

// The local time as GetLocalTime gives it (the system time less the zone's current bias, which
// Windows keeps in step with the time-zone settings by itself), to the system time's precision.
ClockReading LocalClock::Now() {
  static const ReadSystemTime read_system_time = SystemTimeReader();
  FILETIME utc;
  FILETIME local;
  SYSTEMTIME st;
  read_system_time(&utc);
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) {
    GetLocalTime(&st);
    subsecond_ = static_cast<long>(st.wMilliseconds) * 1'000'000;
    return FromSystemTime(st);
  }
  const unsigned long long ticks =
      (static_cast<unsigned long long>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
  subsecond_ = static_cast<long>(ticks % kFileTimeTicksPerSecond) * 100;
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
