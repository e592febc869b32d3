#include "display/date_format.h"

#include <cstddef>

namespace brumo {
namespace {

bool IsConversionPrefix(char c) {
  return c == '-' || c == '_' || c == '0' || c == '^' || c == '#' || c == '+' ||
         (c >= '1' && c <= '9') || c == 'E' || c == 'O';
}

}  // namespace

DateSeparator SeparatorFromDateFormat(std::string_view fmt) {
  // Shorthands that stand for a whole date.
  for (std::size_t i = 0; i + 1 < fmt.size(); ++i) {
    if (fmt[i] != '%') continue;
    std::size_t j = i + 1;
    while (j < fmt.size() && IsConversionPrefix(fmt[j])) ++j;
    if (j >= fmt.size()) break;
    if (fmt[j] == '%') {  // a literal percent sign: not a field
      i = j;
      continue;
    }
    if (fmt[j] == 'D') return DateSeparator("/");
    if (fmt[j] == 'F') return DateSeparator("-");
    break;  // the first field is an ordinary one
  }

  char sep[DateSeparator::capacity()];
  std::size_t n = 0;
  int fields = 0;
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    char c = fmt[i];
    if (c == '%' && i + 1 < fmt.size()) {
      std::size_t j = i + 1;
      while (j < fmt.size() && IsConversionPrefix(fmt[j])) ++j;
      if (j >= fmt.size()) break;
      i = j;
      if (fmt[j] == 'n') {
        c = '\n';
      } else if (fmt[j] == 't') {
        c = '\t';
      } else if (fmt[j] == '%') {
        c = '%';
      } else {
        if (++fields == 2) break;
        continue;
      }
    }
    if (fields != 1) continue;  // text before the first field or after the second
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return DateSeparator(kDefaultDateSeparator);
    if (n == sizeof sep) return DateSeparator(kDefaultDateSeparator);
    sep[n++] = c;
  }
  if (fields < 2 || n == 0) return DateSeparator(kDefaultDateSeparator);
  return DateSeparator(std::string_view(sep, n));
}

}  // namespace brumo
