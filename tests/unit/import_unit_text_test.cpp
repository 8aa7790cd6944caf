// SPDX-License-Identifier: GPL-3.0-or-later
// The unit words of agency files: one table, read by each family's
// convention. Each convention takes exactly the spellings its readers took
// before the table was shared, and refuses its neighbours' ones.
#include "import/unit_text.h"

#include <gtest/gtest.h>

#include <optional>

namespace wavefft::import {
namespace {

struct Case {
  const char* text;
  std::optional<Unit> unit;
};

void expect_units(UnitConvention convention, std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(unit_from_text(c.text, convention), c.unit) << "\"" << c.text << "\"";
}

TEST(UnitText, VolumesTakeEverySpellingWithoutCase) {
  expect_units(UnitConvention::volume,
               {{"g", Unit::g}, {" G ", Unit::g}, {"cm/sec2.", Unit::gal}, {"CM/SEC/SEC", Unit::gal},
                {"cm/sec**2", Unit::gal}, {"Gal", Unit::gal}, {"mm/s**2", Unit::mm_s2}, {"MM/SEC2", Unit::mm_s2},
                {"m/sec2", Unit::m_s2}, {"m/s/s..", Unit::m_s2}, {"counts", Unit::counts}, {"Count", Unit::counts},
                {"cm/s", std::nullopt}, {"cm / s / s", std::nullopt}, {"furlongs", std::nullopt}, {"", std::nullopt}});
}

TEST(UnitText, EsmTakesItsSpellingsInEitherCase) {
  expect_units(UnitConvention::esm,
               {{"cm/s^2", Unit::gal}, {" cm/s/s ", Unit::gal}, {"gal", Unit::gal}, {"Gal", Unit::gal},
                {"G", Unit::g}, {"g", Unit::g}, {"mm/s**2", Unit::mm_s2}, {"m/s^2", Unit::m_s2},
                {"GAL", Unit::gal}, {"CM/S^2", Unit::gal}, {"MM/S**2", Unit::mm_s2}, {"M/S/S", Unit::m_s2},
                {"cm/s2", std::nullopt}, {"cm/s/s.", std::nullopt}, {"cm/sec2", std::nullopt},
                {"counts", std::nullopt}, {"cm/s", std::nullopt}});
}

TEST(UnitText, StationXmlTakesSiSpellingsWithoutCase) {
  expect_units(UnitConvention::response,
               {{"M/S**2", Unit::m_s2}, {"m/s/s", Unit::m_s2}, {"\n  M/S^2\n", Unit::m_s2}, {"CM/S**2", Unit::gal},
                {"cm/s/s", Unit::gal}, {"GAL", Unit::gal}, {"G", Unit::g}, {"M/S", std::nullopt},
                {"MM/S**2", std::nullopt}, {"cm/sec2", std::nullopt}, {"COUNTS", std::nullopt}});
}

TEST(UnitText, PeerReadsTheStartOfTheWord) {
  expect_units(UnitConvention::peer,
               {{"G", Unit::g}, {"g", Unit::g}, {"CM/SEC/SEC", Unit::gal}, {"cm/s**2", Unit::gal},
                {"M/S/S", Unit::m_s2}, {"GALS", std::nullopt}, {"G/10", std::nullopt}, {"", std::nullopt}});
}

}  // namespace
}  // namespace wavefft::import
