// A short text with its storage inline: label texts live here so that a refresh never touches the
// heap.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace brumo {

template <std::size_t Capacity>
class Text {
 public:
  constexpr Text() = default;
  constexpr Text(std::string_view s) { assign(s); }  // NOLINT: implicit on purpose

  // Keeps as much of `s` as fits; a cut never splits a UTF-8 sequence.
  constexpr void assign(std::string_view s) {
    std::size_t n = s.size() < Capacity ? s.size() : Capacity;
    if (n < s.size()) {
      while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    }
    for (std::size_t i = 0; i < n; ++i) buf_[i] = s[i];
    size_ = n;
  }
  constexpr void clear() { size_ = 0; }
  constexpr std::string_view view() const { return {buf_.data(), size_}; }
  constexpr std::size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  static constexpr std::size_t capacity() { return Capacity; }

  friend constexpr bool operator==(const Text& a, std::string_view b) { return a.view() == b; }

 private:
  std::array<char, Capacity> buf_{};
  std::size_t size_ = 0;
};

}  // namespace brumo
