#include "display/refresh.h"

#include <gtest/gtest.h>

#include <climits>

namespace brumo {
namespace {

class RefreshTest : public ::testing::Test {
 protected:
  void SetUp() override { phrases.InitBrumo(); }
  LabelMask Tick(ClockReading r, std::string_view sep = "/") {
    return RefreshTick(r, phrases, sep, labels);
  }
  Phrases phrases;
  LabelTexts labels;
};

constexpr LabelMask kFive = Bit(kOra) | Bit(kMin) | Bit(kSec) | Bit(kData) | Bit(kScritta);

TEST_F(RefreshTest, ANewWindowShowsItsDesignTexts) {
  EXPECT_EQ(labels[kSep0], ":");
  EXPECT_EQ(labels[kSep1], ":");
  EXPECT_EQ(labels[kEsci], "r");
  for (LabelId id : {kScritta, kOra, kMin, kSec, kData}) EXPECT_EQ(labels[id], "") << id;
}

TEST_F(RefreshTest, TheFirstTickWritesAllFiveTexts) {
  EXPECT_EQ(Tick({2006, 2, 3, 9, 5, 7}), kFive);
  EXPECT_EQ(labels[kOra], "9");
  EXPECT_EQ(labels[kMin], "05");
  EXPECT_EQ(labels[kSec], "07");
  EXPECT_EQ(labels[kData], "03/02/2006");
  EXPECT_EQ(labels[kScritta], "Le nove e cinque");
  EXPECT_EQ(labels[kSep0], ":");  // never touched
  EXPECT_EQ(labels[kEsci], "r");
}

TEST_F(RefreshTest, OnlyTheTextsThatChangedAreWritten) {
  Tick({2026, 3, 14, 14, 47, 58});
  EXPECT_EQ(Tick({2026, 3, 14, 14, 47, 58}), 0u);  // same second: nothing at all
  EXPECT_EQ(Tick({2026, 3, 14, 14, 47, 59}), Bit(kSec));
  EXPECT_EQ(labels[kScritta], "Le tre meno un quarto");
  EXPECT_EQ(Tick({2026, 3, 14, 14, 48, 0}), Bit(kMin) | Bit(kSec) | Bit(kScritta));
  EXPECT_EQ(labels[kScritta], "Le tre meno dieci");
  EXPECT_EQ(Tick({2026, 3, 14, 14, 49, 0}), Bit(kMin));  // same band: the phrase stays
}

TEST_F(RefreshTest, MidnightChangesHourAndDateInOneTick) {
  Tick({2026, 12, 31, 23, 57, 59});
  EXPECT_EQ(Tick({2026, 12, 31, 23, 58, 0}), Bit(kMin) | Bit(kSec) | Bit(kScritta));
  EXPECT_EQ(labels[kScritta], "Mezzanotte");  // already, while the date is still the old day
  EXPECT_EQ(labels[kData], "31/12/2026");
  Tick({2026, 12, 31, 23, 59, 59});
  EXPECT_EQ(Tick({2027, 1, 1, 0, 0, 0}), Bit(kOra) | Bit(kMin) | Bit(kSec) | Bit(kData));
  EXPECT_EQ(labels[kOra], "0");
  EXPECT_EQ(labels[kMin], "00");
  EXPECT_EQ(labels[kData], "01/01/2027");
  EXPECT_EQ(labels[kScritta], "Mezzanotte");
}

TEST_F(RefreshTest, TheDateUsesTheUsersSeparator) {
  Tick({2024, 2, 29, 10, 0, 0}, ".");
  EXPECT_EQ(labels[kData], "29.02.2024");
  EXPECT_EQ(Tick({2024, 2, 29, 10, 0, 0}, ". "), Bit(kData));
  EXPECT_EQ(labels[kData], "29. 02. 2024");
  Tick({2024, 2, 29, 10, 0, 0}, "");
  EXPECT_EQ(labels[kData], "29022024");
  Tick({987, 1, 2, 10, 0, 0});
  EXPECT_EQ(labels[kData], "02/01/0987");  // four-digit year
}

TEST_F(RefreshTest, ComparisonIsExact) {
  Tick({2026, 1, 1, 7, 7, 7});
  LabelTexts other;
  EXPECT_TRUE(other.Update(kOra, "7"));
  EXPECT_FALSE(other.Update(kOra, "7"));
  EXPECT_TRUE(other.Update(kOra, "07"));
  EXPECT_TRUE(other.Update(kScritta, "le sette"));
  EXPECT_TRUE(other.Update(kScritta, "Le sette"));
}

TEST_F(RefreshTest, AnyFieldValueGivesBoundedTexts) {
  // Readings no clock gives still format without overflowing the labels.
  Tick({INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN}, "12345678");
  EXPECT_EQ(labels[kOra], "-2147483648");
  EXPECT_EQ(labels[kData], "-214748364812345678-214748364812345678-2147483648");
  EXPECT_EQ(labels[kScritta], "");
  Tick({INT_MAX, 99, 100, 24, 60, 60});
  EXPECT_EQ(labels[kSec], "60");
  EXPECT_EQ(labels[kData], "100/99/2147483647");
}

}  // namespace
}  // namespace brumo
