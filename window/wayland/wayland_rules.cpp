#include "window/wayland/wayland_rules.h"

namespace brumo::wayland {

std::string LockFilePath(std::string_view runtime_dir, std::string_view display) {
  while (runtime_dir.size() > 1 && runtime_dir.ends_with('/')) runtime_dir.remove_suffix(1);
  if (runtime_dir.empty() || display.empty()) return {};
  // A path into the runtime directory names the same socket as its name alone.
  if (display.starts_with(runtime_dir) && display.size() > runtime_dir.size() + 1 &&
      display[runtime_dir.size()] == '/') {
    display.remove_prefix(runtime_dir.size() + 1);
  }
  std::string path(runtime_dir);
  path += "/brumo-";
  for (const char c : display) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    path += plain ? c : '_';
  }
  path += ".lock";
  return path;
}

}  // namespace brumo::wayland
