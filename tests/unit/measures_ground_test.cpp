// SPDX-License-Identifier: GPL-3.0-or-later
// Ground-motion measures on records whose integrals are done by hand, the
// Husid interpolation, the way in from a record's unit, and the period set.
// The record readers are tested in records_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "measures/measures.h"

namespace wavefft::measures {
namespace {

TEST(MeasuresGround, HandIntegratedRecords) {
  // a = {0, 2, 0} m/s^2, dt = 0.5: v = {0, 0.5, 1} m/s, d = {0, 0.125, 0.5} m,
  // int a^2 = 0.5 (0 + 4) / 2 * 2 = 2, int |a| = 1; Husid {0, 0.5, 1}:
  // t(0.05) = 0.05, t(0.75) = 0.75, t(0.95) = 0.95.
  const Measures m = ground_motion(std::vector<double>{0.0, 2.0, 0.0}, 0.5);
  EXPECT_DOUBLE_EQ(m.pga, 2.0 / common::kStandardGravity);
  EXPECT_DOUBLE_EQ(m.pgv, 100.0);
  EXPECT_DOUBLE_EQ(m.pgd, 50.0);
  EXPECT_DOUBLE_EQ(m.arias, std::numbers::pi / 9.80665);
  EXPECT_DOUBLE_EQ(m.cav, 1.0);
  ASSERT_TRUE(m.d5_75 && m.d5_95);
  EXPECT_NEAR(*m.d5_75, 0.7, 1e-15);
  EXPECT_NEAR(*m.d5_95, 0.9, 1e-15);

  // A constant 1 m/s^2 for 20 s (21 samples, dt 1): v = t, d = t^2/2,
  // Husid i/20 reaches 0.05, 0.75, 0.95 exactly at samples 1, 15, 19.
  const Measures c = ground_motion(std::vector<double>(21, 1.0), 1.0);
  EXPECT_DOUBLE_EQ(c.pgv, 2000.0);
  EXPECT_DOUBLE_EQ(c.pgd, 20000.0);
  EXPECT_DOUBLE_EQ(c.arias, std::numbers::pi / (2 * 9.80665) * 20.0);
  EXPECT_DOUBLE_EQ(c.cav, 20.0);
  EXPECT_NEAR(*c.d5_75, 14.0, 1e-12);
  EXPECT_NEAR(*c.d5_95, 18.0, 1e-12);

  // A single negative spike at sample 3 of 7, dt 0.1: the energy is two
  // equal triangles, so the Husid curve is 0 up to t = 0.2, 0.5 at 0.3 and
  // 1 from 0.4: t(p) = 0.2 + 0.2 p. D5-75 = 0.14, D5-95 = 0.18; the
  // velocity ends at -0.1 * 4 = -0.4 m/s.
  std::vector<double> spike(7, 0.0);
  spike[3] = -4.0;
  const Measures s = ground_motion(spike, 0.1);
  EXPECT_DOUBLE_EQ(s.pga, 4.0 / 9.80665);
  EXPECT_NEAR(s.pgv, 40.0, 1e-12);
  EXPECT_NEAR(*s.d5_75, 0.14, 1e-12);
  EXPECT_NEAR(*s.d5_95, 0.18, 1e-12);
  // Negating changes no measure.
  for (double& x : spike) x = -x;
  const Measures sn = ground_motion(spike, 0.1);
  EXPECT_EQ(sn.pgv, s.pgv);
  EXPECT_EQ(sn.pgd, s.pgd);
  EXPECT_EQ(*sn.d5_95, *s.d5_95);

  // Zeros: every measure 0, no duration.
  const Measures z = ground_motion(std::vector<double>(5, 0.0), 0.01);
  EXPECT_EQ(z.pga + z.pgv + z.pgd + z.arias + z.cav, 0.0);
  EXPECT_FALSE(z.d5_75.has_value());
  EXPECT_FALSE(z.d5_95.has_value());
}

TEST(MeasuresUnits, OnlyAccelerationUnitsReachTheNumbers) {
  // One multiplication by the unit's exact factor: 150 gal = 150 * 0.01 m/s^2.
  struct Case {
    Unit unit;
    double factor;
  };
  for (const Case c : {Case{Unit::g, 9.80665}, Case{Unit::gal, 0.01}, Case{Unit::m_s2, 1.0}, Case{Unit::mm_s2, 0.001}}) {
    std::vector<double> v = {150.0, -0.25, 0.0};
    ASSERT_TRUE(scale_to_m_s2(v, c.unit)) << common::unit_word(c.unit);
    EXPECT_EQ(v, (std::vector<double>{150.0 * c.factor, -0.25 * c.factor, 0.0})) << common::unit_word(c.unit);
  }
  // Counts, or no unit at all, are refused and leave the values alone.
  for (const Unit u : {Unit::counts, Unit::none}) {
    std::vector<double> v = {150.0, -0.25};
    EXPECT_FALSE(scale_to_m_s2(v, u)) << common::unit_word(u);
    EXPECT_EQ(v, (std::vector<double>{150.0, -0.25}));
  }
}

TEST(MeasuresPeriods, TheNgaWest2Set) {
  const auto p = nga_west2_periods();
  ASSERT_EQ(p.size(), 111u);
  EXPECT_EQ(p.front(), 0.01);
  EXPECT_EQ(p[60], 0.667);
  EXPECT_EQ(p.back(), 20.0);
  for (std::size_t i = 1; i < p.size(); ++i) EXPECT_LT(p[i - 1], p[i]);
}

}  // namespace
}  // namespace wavefft::measures
