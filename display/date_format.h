// The date separator of a locale, read from its strftime-style date format (nl_langinfo(D_FMT)).
#pragma once

#include <string_view>

#include "display/text.h"

namespace brumo {

using DateSeparator = Text<8>;

inline constexpr std::string_view kDefaultDateSeparator = "/";

// The literal text between the first two fields of `date_format`: "." for "%d.%m.%Y", "-" for
// "%Y-%m-%d", ". " for "%Y. %m. %d.". Flags, widths and the E/O modifiers are skipped; %D and %F
// count as their expansions. Gives "/" when there is no separator, when it holds a control
// character, or when it is longer than a separator can be.
DateSeparator SeparatorFromDateFormat(std::string_view date_format);

}  // namespace brumo
