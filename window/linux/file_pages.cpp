#include "window/linux/file_pages.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <string>

namespace brumo {

std::vector<AddressRange> CleanFileMappings(std::string_view smaps) {
  std::vector<AddressRange> out;
  AddressRange range;
  bool candidate = false;  // the mapping being read is a file's and never writable
  while (!smaps.empty()) {
    const std::size_t eol = smaps.find('\n');
    std::string_view line = smaps.substr(0, eol);
    smaps.remove_prefix(eol == std::string_view::npos ? smaps.size() : eol + 1);
    // A mapping's first line: "begin-end perms offset dev inode   path", the range in lower-case
    // hexadecimal. Every other line is "Name:   value".
    std::array<std::string_view, 6> field{};
    for (std::string_view& f : field) {
      while (line.starts_with(' ')) line.remove_prefix(1);
      f = line.substr(0, line.find(' '));
      line.remove_prefix(f.size());
    }
    const char* const first = field[0].data();
    const char* const last = first + field[0].size();
    std::uintptr_t begin = 0, end = 0;
    const auto [dash, begin_ec] = std::from_chars(first, last, begin, 16);
    if (begin_ec == std::errc{} && dash != last && *dash == '-') {
      const auto [stop, end_ec] = std::from_chars(dash + 1, last, end, 16);
      range = {begin, end};
      candidate = end_ec == std::errc{} && stop == last && field[1].size() == 4 &&
                  field[1][1] != 'w' && field[5].starts_with('/');
    } else if (candidate && field[0] == "Anonymous:") {
      candidate = false;
      if (field[1] == "0") out.push_back(range);
    }
  }
  return out;
}

void ReleaseFilePages() {
  const int fd = open("/proc/self/smaps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::string smaps;
  char buf[16384];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
    smaps.append(buf, static_cast<std::size_t>(n));
  close(fd);
  for (const AddressRange& range : CleanFileMappings(smaps)) {
    madvise(reinterpret_cast<void*>(range.begin), range.end - range.begin, MADV_DONTNEED);
  }
}

}  // namespace brumo
