// The time-zone watch follows the zone file the way systems change it: the symlink replaced by
// another (timedatectl, dpkg-reconfigure), the file it leads to replaced (a tzdata upgrade) or
// rewritten in place, the file removed and put back. After each change, one more to the new
// file is seen too; an unrelated file in the same directory is not.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "window/linux/event_loop.h"
#include "window/linux/file_pages.h"

namespace brumo::x11 {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const char* text) {
  std::ofstream(file) << text;
}

// Whether the watch has something to say now, and what: inotify queues its events as the change
// is made, so nothing is waited for.
bool Notices(ZoneWatch& watch) {
  pollfd fd{watch.NotifyFd(), POLLIN, 0};
  if (poll(&fd, 1, 0) != 1) return false;
  const bool zone = watch.TakeNotices();
  if (zone) watch.Rewatch();
  return zone;
}

TEST(ZoneWatch, FollowsTheZoneFileThroughEveryKindOfChange) {
  char dir_template[] = "/tmp/brumo-zone-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const fs::path dir = dir_template;
  const fs::path link = dir / "localtime";
  Write(dir / "Rome", "CET");
  Write(dir / "Tokyo", "JST");
  fs::create_symlink(dir / "Rome", link);

  ZoneWatch watch(link.string());
  ASSERT_TRUE(watch.Active());
  EXPECT_FALSE(Notices(watch));

  const struct {
    const char* what;
    std::function<void()> change;
  } changes[] = {
      {"the symlink replaced",
       [&] {
         fs::create_symlink(dir / "Tokyo", dir / "new");
         fs::rename(dir / "new", link);
       }},
      {"the file rewritten", [&] { Write(dir / "Tokyo", "JST-9"); }},
      {"the file replaced",
       [&] {
         Write(dir / "Tokyo.new", "JST");
         fs::rename(dir / "Tokyo.new", dir / "Tokyo");
       }},
      {"the new file rewritten", [&] { Write(dir / "Tokyo", "JST-9"); }},
      {"the symlink removed", [&] { fs::remove(link); }},
      {"the symlink put back", [&] { fs::create_symlink(dir / "Rome", link); }},
      {"the file it leads to now rewritten", [&] { Write(dir / "Rome", "CET-1"); }},
  };
  for (const auto& c : changes) {
    c.change();
    EXPECT_TRUE(Notices(watch)) << c.what;
    EXPECT_FALSE(Notices(watch)) << c.what << ", twice";
  }
  Write(dir / "Tokyo", "JST");  // no longer the zone
  Write(dir / "adjtime", "0.0");
  EXPECT_FALSE(Notices(watch)) << "a file that is not the zone";
  fs::remove_all(dir);
}

}  // namespace
}  // namespace brumo::x11
