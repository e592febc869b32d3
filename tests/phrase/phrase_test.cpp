#include "phrase/phrase.h"

#include <gtest/gtest.h>

#include <string>

namespace brumo {
namespace {

class PhrasesTest : public ::testing::Test {
 protected:
  void SetUp() override { p.InitBrumo(); }
  std::string At(int h, int m, int s = 0) const {
    return std::string(p.Brumo(ClockReading{2026, 3, 14, h, m, s}));
  }
  Phrases p;
};

TEST_F(PhrasesTest, MidnightAndNoonAreNamedOnlyWhereTheyBelong) {
  for (int i = 0; i < Phrases::kHours; ++i) {
    EXPECT_EQ(p.Ore()[i] == "Mezzanotte", i == 0 || i == 24) << i;
    EXPECT_EQ(p.Ore()[i] == "Mezzogiorno", i == 12) << i;
  }
}

TEST_F(PhrasesTest, AfternoonHoursReuseTheMorningWords) {
  EXPECT_EQ(p.Ore()[1], "L'una");
  EXPECT_EQ(p.Ore()[13], "L'una");
  EXPECT_EQ(p.Ore()[2], "Le due");
  EXPECT_EQ(p.Ore()[4], "Le quattro");
  EXPECT_EQ(p.Ore()[11], "Le undici");
  EXPECT_EQ(p.Ore()[23], "Le undici");
  for (int h = 2; h <= 11; ++h) {
    EXPECT_EQ(p.Ore()[h].rfind("Le ", 0), 0u) << h;
    EXPECT_EQ(p.Ore()[h + 12], p.Ore()[h]) << h;
  }
}

TEST_F(PhrasesTest, MinuteSuffixesCountFromAndToTheQuarters) {
  const char* expected[] = {
      "",         " e cinque",   " e dieci",        " e un quarto", " e venti",
      " e mezzo", " meno venti", " meno un quarto", " meno dieci",  " meno cinque"};
  for (int i = 0; i < Phrases::kBands; ++i) EXPECT_EQ(p.Minuti()[i], expected[i]) << i;
}

TEST_F(PhrasesTest, RebuildingGivesTheSameTables) {
  const auto ore = p.Ore();
  const auto minuti = p.Minuti();
  p.InitBrumo();
  EXPECT_EQ(p.Ore(), ore);
  EXPECT_EQ(p.Minuti(), minuti);
  EXPECT_EQ(At(14, 47), "Le tre meno un quarto");
}

TEST_F(PhrasesTest, WorkedExamples) {
  EXPECT_EQ(At(0, 0), "Mezzanotte");
  EXPECT_EQ(At(0, 30), "Mezzanotte e mezzo");
  EXPECT_EQ(At(1, 3), "L'una");
  EXPECT_EQ(At(1, 4), "L'una e cinque");
  EXPECT_EQ(At(9, 25), "Le nove e venti");
  EXPECT_EQ(At(9, 26), "Le nove e mezzo");
  EXPECT_EQ(At(9, 36), "Le dieci meno venti");
  EXPECT_EQ(At(11, 45), "Mezzogiorno meno un quarto");
  EXPECT_EQ(At(12, 10), "Mezzogiorno e dieci");
  EXPECT_EQ(At(12, 40), "L'una meno venti");
  EXPECT_EQ(At(14, 15), "Le due e un quarto");
  EXPECT_EQ(At(14, 47), "Le tre meno un quarto");
  EXPECT_EQ(At(14, 58), "Le tre");
  EXPECT_EQ(At(23, 55), "Mezzanotte meno cinque");
}

TEST_F(PhrasesTest, BandEdgesFallWhereTheTableSays) {
  EXPECT_EQ(At(10, 3), "Le dieci");
  EXPECT_EQ(At(10, 4), "Le dieci e cinque");
  EXPECT_EQ(At(10, 7), "Le dieci e cinque");
  EXPECT_EQ(At(10, 8), "Le dieci e dieci");
  EXPECT_EQ(At(10, 13), "Le dieci e dieci");
  EXPECT_EQ(At(10, 14), "Le dieci e un quarto");
  EXPECT_EQ(At(10, 17), "Le dieci e un quarto");
  EXPECT_EQ(At(10, 18), "Le dieci e venti");
  EXPECT_EQ(At(10, 25), "Le dieci e venti");
  EXPECT_EQ(At(10, 26), "Le dieci e mezzo");
  EXPECT_EQ(At(10, 35), "Le dieci e mezzo");
  EXPECT_EQ(At(10, 36), "Le undici meno venti");
  EXPECT_EQ(At(10, 43), "Le undici meno venti");
  EXPECT_EQ(At(10, 44), "Le undici meno un quarto");
  EXPECT_EQ(At(10, 48), "Le undici meno dieci");
  EXPECT_EQ(At(10, 53), "Le undici meno dieci");
  EXPECT_EQ(At(10, 54), "Le undici meno cinque");
  EXPECT_EQ(At(10, 57), "Le undici meno cinque");
  EXPECT_EQ(At(10, 58), "Le undici");
  EXPECT_EQ(At(10, 59), "Le undici");
}

TEST_F(PhrasesTest, TheFullHourSpansFiftyEightToThreeAroundNoonAndMidnight) {
  for (int m : {58, 59}) {
    EXPECT_EQ(At(23, m), "Mezzanotte") << m;
    EXPECT_EQ(At(11, m), "Mezzogiorno") << m;
  }
  for (int m = 0; m <= 3; ++m) {
    EXPECT_EQ(At(0, m), "Mezzanotte") << m;
    EXPECT_EQ(At(12, m), "Mezzogiorno") << m;
  }
  EXPECT_EQ(At(12, 4), "Mezzogiorno e cinque");
  EXPECT_EQ(At(12, 36), "L'una meno venti");
  EXPECT_EQ(At(23, 36), "Mezzanotte meno venti");
  EXPECT_EQ(At(11, 36), "Mezzogiorno meno venti");
}

TEST_F(PhrasesTest, SecondsNeverChangeThePhrase) {
  EXPECT_EQ(At(9, 35, 59), "Le nove e mezzo");
  EXPECT_EQ(At(9, 36, 0), "Le dieci meno venti");
  for (int s = 0; s < 60; ++s) EXPECT_EQ(At(17, 20, s), "Le cinque e venti");
}

TEST_F(PhrasesTest, BandsAreMirrorSymmetricAboutHalfPast) {
  // Minute m before the half hour and 61 - m after it count the same amount, " e " and " meno ".
  const std::string hour = p.Ore()[8];
  const std::string next = p.Ore()[9];
  for (int m = 4; m <= 25; ++m) {
    const std::string forward = At(8, m).substr(hour.size() + 3);
    const std::string backward = At(8, 61 - m).substr(next.size() + 6);
    EXPECT_EQ(forward, backward) << m;
  }
}

TEST_F(PhrasesTest, ReadingsOutsideTheDayGiveNoPhrase) {
  EXPECT_EQ(At(24, 0), "");
  EXPECT_EQ(At(-1, 0), "");
  EXPECT_EQ(At(12, 60), "");
  EXPECT_EQ(At(12, -1), "");
  Phrases empty;
  EXPECT_EQ(empty.Brumo(ClockReading{2026, 1, 1, 14, 15, 0}), "");
}

}  // namespace
}  // namespace brumo
