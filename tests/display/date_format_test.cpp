#include "display/date_format.h"

#include <gtest/gtest.h>

#include <string>

namespace brumo {
namespace {

std::string Sep(std::string_view fmt) {
  return std::string(SeparatorFromDateFormat(fmt).view());
}

TEST(DateSeparator, ComesFromTheTextBetweenTheFirstTwoFields) {
  EXPECT_EQ(Sep("%d/%m/%Y"), "/");
  EXPECT_EQ(Sep("%d.%m.%Y"), ".");      // de_DE
  EXPECT_EQ(Sep("%d/%m/%y"), "/");      // it_IT
  EXPECT_EQ(Sep("%Y-%m-%d"), "-");      // sv_SE
  EXPECT_EQ(Sep("%Y. %m. %d."), ". ");  // hu_HU: two characters and a trailing one
  EXPECT_EQ(Sep("%d %b %Y"), " ");
  EXPECT_EQ(Sep("%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5"), "\xE5\xB9\xB4");  // UTF-8 kept whole
}

TEST(DateSeparator, SkipsFlagsWidthsAndAlternativeDigits) {
  EXPECT_EQ(Sep("%-d.%-m.%Y"), ".");
  EXPECT_EQ(Sep("%Od.%Om.%Y"), ".");
  EXPECT_EQ(Sep("%_2d-%_2m-%Y"), "-");
  EXPECT_EQ(Sep("%EY/%m/%d"), "/");
  EXPECT_EQ(Sep("%%%d~%m~%Y"), "~");  // a literal percent before the first field is no field
  EXPECT_EQ(Sep("%d%%%m"), "%");
}

TEST(DateSeparator, ShorthandsCountAsTheirExpansions) {
  EXPECT_EQ(Sep("%D"), "/");  // the C locale's %m/%d/%y, spelt short
  EXPECT_EQ(Sep("%F"), "-");
  EXPECT_EQ(Sep("%m/%d/%y"), "/");
}

TEST(DateSeparator, FallsBackToASlashWhereThereIsNoUsableSeparator) {
  EXPECT_EQ(Sep(""), "/");
  EXPECT_EQ(Sep("%Y%m%d"), "/");
  EXPECT_EQ(Sep("%x"), "/");
  EXPECT_EQ(Sep("just text"), "/");
  EXPECT_EQ(Sep("%d"), "/");
  EXPECT_EQ(Sep("%d-"), "/");
  EXPECT_EQ(Sep("%d%n%m"), "/");  // a line break would break the label
  EXPECT_EQ(Sep("%d\t%m"), "/");
  EXPECT_EQ(Sep("%d--------->%m"), "/");  // longer than any separator
  EXPECT_EQ(Sep("%"), "/");
  EXPECT_EQ(Sep("%d%"), "/");
  EXPECT_EQ(Sep("%d%-"), "/");
}

}  // namespace
}  // namespace brumo
