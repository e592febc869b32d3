// What only Windows itself can check: the clock and the date separator as Win32 gives them, and
// brumo.exe's resources as Windows reads them. Run under Wine by the cross build's tests, which set
// TZ, the locale and BRUMO_EXE for each run.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "display/icon.h"
#include "display/local_clock.h"

namespace brumo {
namespace {

std::string Show(const ClockReading& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", r.year, r.month, r.day, r.hour,
                r.minute, r.second);
  return text;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TEST(LocalClockOnWindows, FollowsTheZoneAcrossDaylightSavingAndYearEnds) {
  if (Env("TZ") != "Europe/Rome") GTEST_SKIP() << "runs with TZ=Europe/Rome (Wine's zone)";
  // 2026-03-29: 02:00 CET jumps to 03:00 CEST.
  EXPECT_EQ(Show(LocalReadingAt(1774745999)), "2026-03-29 01:59:59");
  EXPECT_EQ(Show(LocalReadingAt(1774746000)), "2026-03-29 03:00:00");
  // 2026-10-25: 03:00 CEST falls back to 02:00 CET.
  EXPECT_EQ(Show(LocalReadingAt(1792889999)), "2026-10-25 02:59:59");
  EXPECT_EQ(Show(LocalReadingAt(1792890000)), "2026-10-25 02:00:00");
  // New Year, a leap day and the Unix epoch itself.
  EXPECT_EQ(Show(LocalReadingAt(1798758000)), "2027-01-01 00:00:00");
  EXPECT_EQ(Show(LocalReadingAt(1709161200)), "2024-02-29 00:00:00");
  EXPECT_EQ(Show(LocalReadingAt(0)), "1970-01-01 01:00:00");
}

TEST(DateSeparatorOnWindows, IsTheOneOfTheUsersLocale) {
  const char* expected = std::getenv("BRUMO_EXPECTED_SEPARATOR");
  if (expected == nullptr) GTEST_SKIP() << "runs with a locale and BRUMO_EXPECTED_SEPARATOR";
  EXPECT_EQ(UserDateSeparator().view(), std::string_view(expected)) << "LC_ALL=" << Env("LC_ALL");
}

TEST(DateSeparatorOnWindows, IsTheUsersOwnChoiceInAnyScript) {
  if (std::getenv("BRUMO_PRIVATE_PREFIX") == nullptr) {
    GTEST_SKIP() << "changes the user's regional settings: runs in a Wine prefix of its own";
  }
  wchar_t before[8] = {};
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDATE, before, 8);
  ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, L"\u00B7"));
  EXPECT_EQ(UserDateSeparator().view(), "\xC2\xB7");  // a middle dot, in UTF-8
  ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, L"-"));
  EXPECT_EQ(UserDateSeparator().view(), "-");
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, before);
}

// brumo.exe loaded for its resources only; the path comes from BRUMO_EXE.
class BrumoExeResources : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = Env("BRUMO_EXE");
    if (path.empty()) GTEST_SKIP() << "runs with BRUMO_EXE set to brumo.exe";
    exe_ = LoadLibraryExA(path.c_str(), nullptr,
                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe_, nullptr) << "cannot load " << path << ", error " << GetLastError();
  }
  void TearDown() override {
    if (exe_ != nullptr) FreeLibrary(exe_);
  }

  std::string_view Resource(LPCWSTR type, WORD id) const {
    HRSRC found = FindResourceW(exe_, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(exe_, found);
    return {static_cast<const char*>(LockResource(loaded)), SizeofResource(exe_, found)};
  }

  HMODULE exe_ = nullptr;
};

// A colour the icon palette does not have, to tell transparent pixels from drawn ones.
constexpr COLORREF kKey = RGB(1, 2, 3);

// The icon of `size` as Windows draws it over kKey, as 0xRRGGBB, top row first.
std::vector<std::uint32_t> DrawnIcon(HMODULE exe, int size) {
  std::vector<std::uint32_t> out;
  HICON icon = static_cast<HICON>(
      LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  if (icon == nullptr) return out;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH key = CreateSolidBrush(kKey);
  RECT all{0, 0, size, size};
  FillRect(dc, &all, key);
  DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  GdiFlush();
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  for (int i = 0; i < size * size; ++i) out.push_back(pixels[i] & 0xFFFFFF);
  SelectObject(dc, old);
  DeleteObject(key);
  DeleteObject(bitmap);
  DeleteDC(dc);
  DestroyIcon(icon);
  return out;
}

TEST_F(BrumoExeResources, TheIconIsTheClockFaceArtAtBothSizes) {
  const std::uint32_t key = (GetRValue(kKey) << 16) | (GetGValue(kKey) << 8) | GetBValue(kKey);
  for (const IconArt& art : kIcons) {
    const std::vector<std::uint32_t> drawn = DrawnIcon(exe_, art.size);
    ASSERT_EQ(drawn.size(), static_cast<std::size_t>(art.size * art.size)) << art.size;
    int wrong = 0;
    for (int y = 0; y < art.size; ++y) {
      for (int x = 0; x < art.size; ++x) {
        const int index = IconIndex(art, x, y);
        const std::uint32_t want = index == kIconTransparent ? key : kIconPalette[index];
        const std::uint32_t got = drawn[static_cast<std::size_t>(y * art.size + x)];
        if (got != want && wrong++ < 5) {
          ADD_FAILURE() << art.size << "x" << art.size << " pixel " << x << "," << y << ": 0x"
                        << std::hex << got << " instead of 0x" << want;
        }
      }
    }
    EXPECT_EQ(wrong, 0) << "pixels differ in the " << art.size << "x" << art.size << " icon";
  }
}

TEST_F(BrumoExeResources, TheIconOffersBothSizesIn16Colours) {
  const std::string_view group = Resource(RT_GROUP_ICON, 1);
  ASSERT_GE(group.size(), 6u);
  for (const IconArt& art : kIcons) {
    const int id =
        LookupIconIdFromDirectoryEx(reinterpret_cast<PBYTE>(const_cast<char*>(group.data())), TRUE,
                                    art.size, art.size, LR_DEFAULTCOLOR);
    const std::string_view image = Resource(RT_ICON, static_cast<WORD>(id));
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << art.size;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
    EXPECT_EQ(header->biWidth, art.size);
    EXPECT_EQ(header->biBitCount, 4) << art.size << "x" << art.size;
  }
}

TEST_F(BrumoExeResources, TheManifestDeclaresDpiAwareness) {
  const std::string_view manifest = Resource(RT_MANIFEST, 1);
  ASSERT_FALSE(manifest.empty()) << "no manifest";
  // Per-monitor v2 where Windows knows it, per-monitor on 8.1, the system's DPI on 7.
  EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string_view::npos);
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string_view::npos);
}

TEST_F(BrumoExeResources, TheVersionIsTheProjects) {
  const std::string exe = Env("BRUMO_EXE");
  const std::wstring path(exe.begin(), exe.end());
  DWORD ignored = 0;
  std::vector<char> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(info.empty()) << "no version information";
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), BRUMO_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), BRUMO_VERSION_MINOR);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), BRUMO_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  wchar_t* name = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\OriginalFilename",
                             reinterpret_cast<void**>(&name), &length));
  EXPECT_EQ(std::wstring_view(name), L"brumo.exe");
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\LegalCopyright",
                             reinterpret_cast<void**>(&name), &length));
  EXPECT_TRUE(std::wstring_view(name).starts_with(L"Copyright (c) 2026 ")) << name;
}

}  // namespace
}  // namespace brumo
