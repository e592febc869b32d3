#include "display/refresh.h"

#include <cstddef>

namespace brumo {
namespace {

// Appends `value` in decimal with at least `digits` digits. Any int fits, INT_MIN included.
void AppendNumber(char*& out, int value, int digits) {
  long long v = value;
  if (v < 0) {
    *out++ = '-';
    v = -v;
  }
  char rev[12];
  int n = 0;
  do {
    rev[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0);
  while (n < digits) rev[n++] = '0';
  while (n > 0) *out++ = rev[--n];
}

}  // namespace

LabelTexts::LabelTexts() {
  for (const LabelSpec& spec : kLayout) texts_[spec.id].assign(spec.design_text);
}

bool LabelTexts::Update(LabelId id, std::string_view text) {
  if (texts_[id] == text) return false;
  texts_[id].assign(text);
  return true;
}

LabelMask RefreshTick(const ClockReading& r, const Phrases& phrases,
                      std::string_view date_separator, LabelTexts& labels) {
  LabelMask changed = 0;
  char buf[LabelText::capacity()];
  const auto put = [&](LabelId id, const char* end) {
    if (labels.Update(id, std::string_view(buf, static_cast<std::size_t>(end - buf))))
      changed |= Bit(id);
  };
  char* p = buf;
  AppendNumber(p, r.hour, 1);
  put(kOra, p);
  p = buf;
  AppendNumber(p, r.minute, 2);
  put(kMin, p);
  p = buf;
  AppendNumber(p, r.second, 2);
  put(kSec, p);

  // Day, month and year take at most 3 * 11 characters; the separators get what is left.
  constexpr std::size_t kSepRoom = (sizeof buf - 33) / 2;
  const std::string_view sep = date_separator.substr(0, kSepRoom);
  p = buf;
  AppendNumber(p, r.day, 2);
  for (char c : sep) *p++ = c;
  AppendNumber(p, r.month, 2);
  for (char c : sep) *p++ = c;
  AppendNumber(p, r.year, 4);
  put(kData, p);

  if (labels.Update(kScritta, phrases.Brumo(r))) changed |= Bit(kScritta);
  return changed;
}

}  // namespace brumo
