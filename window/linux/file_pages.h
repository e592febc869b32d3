// The pages of the process's files that hold nothing of its own, and how they leave its page
// tables once start-up is over.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace brumo {

// A range of the process's addresses, [begin, end).
struct AddressRange {
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;
};

// The mappings that `smaps` (the text of /proc/self/smaps) shows holding nothing but a file's own
// pages: mapped from a file, never writable, and with no page the process made its own (a copy on
// write, such as the loader's relocated pointers in a library). Their pages can leave the
// process's page tables without loss: the kernel maps them again from the page cache when they
// are next touched.
std::vector<AddressRange> CleanFileMappings(std::string_view smaps);

// Takes out of the process's page tables the pages of its files that hold nothing of its own:
// the libraries' code and read-only data, the fonts, fontconfig's caches. Start-up touches far
// more of them than the running clock ever will again, and every page left mapped is one more
// for the kernel to look after while the clock sleeps. They stay in the page cache, and those the
// clock uses come back at their first touch. Where smaps cannot be read, nothing changes.
void ReleaseFilePages();

}  // namespace brumo
