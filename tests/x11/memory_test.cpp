// Taking the files' pages out of the process keeps everything the process made of them: what it
// wrote into a private mapping, also one made read-only afterwards as the loader does with the
// relocated pointers of every library (and of this test), while a mapping that only reads a file
// leaves the page tables.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "window/linux/event_loop.h"
#include "window/linux/file_pages.h"
#include "window/x11/x11_hints.h"

namespace brumo::x11 {
namespace {

// Relocated by the loader at start-up: a copy on write in a mapping that is read-only by now.
const char* const kRelocated[] = {"first", "second"};

// The resident kB of the mapping that begins at `begin`, from /proc/self/smaps.
long ResidentKb(const void* begin) {
  std::ifstream in("/proc/self/smaps");
  std::stringstream text;
  text << in.rdbuf();
  const std::string smaps = text.str();
  char head[32];
  std::snprintf(head, sizeof head, "%lx-", reinterpret_cast<unsigned long>(begin));
  const std::size_t at = smaps.find(std::string("\n") + head);
  if (at == std::string::npos) return -1;
  const std::size_t rss = smaps.find("\nRss:", at);
  return rss == std::string::npos ? -1 : std::stol(smaps.substr(rss + 5));
}

TEST(X11Memory, FilePagesLeaveButWhatTheProcessWroteStays) {
  char path[] = "/tmp/brumo-pages-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  constexpr std::size_t kSize = 16 * 4096;
  const std::string text(kSize, 'a');
  ASSERT_EQ(write(fd, text.data(), kSize), static_cast<ssize_t>(kSize));
  auto map = [&](int prot) {
    return static_cast<char*>(mmap(nullptr, kSize, prot, MAP_PRIVATE, fd, 0));
  };
  char* const read_only = map(PROT_READ);
  char* const written = map(PROT_READ | PROT_WRITE);
  char* const sealed = map(PROT_READ | PROT_WRITE);
  ASSERT_NE(read_only, MAP_FAILED);
  ASSERT_NE(written, MAP_FAILED);
  ASSERT_NE(sealed, MAP_FAILED);
  unsigned sum = 0;
  for (std::size_t i = 0; i < kSize; i += 4096) sum += static_cast<unsigned char>(read_only[i]);
  EXPECT_EQ(sum, 16u * 'a');
  written[0] = 'w';
  sealed[0] = 's';
  ASSERT_EQ(mprotect(sealed, kSize, PROT_READ), 0);
  ASSERT_GT(ResidentKb(read_only), 0);

  ReleaseFilePages();

  EXPECT_EQ(ResidentKb(read_only), 0);
  EXPECT_EQ(read_only[4096], 'a');
  EXPECT_EQ(written[0], 'w');
  EXPECT_EQ(sealed[0], 's');
  EXPECT_STREQ(kRelocated[1], "second");
  munmap(read_only, kSize);
  munmap(written, kSize);
  munmap(sealed, kSize);
  close(fd);
  unlink(path);
}

}  // namespace
}  // namespace brumo::x11
