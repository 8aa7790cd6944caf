// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of wavefft-import's core: component assembly, the writer and
// the PEER .AT2 reader.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "common/units.h"
#include "import/assemble.h"
#include "import/formats.h"
#include "import/writer.h"
#include "tests/unit/test_files.h"

namespace wavefft::import {
namespace {

namespace fs = std::filesystem;
using common::convert_unit;
using testing::kRaw;
using testing::slurp;

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

Channel chan(const std::string& name, std::optional<double> az, bool vertical, std::vector<double> v,
             double dt = 0.005) {
  Channel c;
  c.file = name + ".txt";
  c.name = name;
  c.azimuth = az;
  c.vertical = vertical;
  c.dt = dt;
  c.unit = Unit::gal;
  c.values = std::move(v);
  return c;
}

// One file per channel, in the order given.
std::vector<FileContents> files_of(std::vector<Channel> cs) {
  std::vector<FileContents> fs;
  for (auto& c : cs) {
    FileContents f;
    f.station = "STA";
    f.channels.push_back(std::move(c));
    fs.push_back(std::move(f));
  }
  return fs;
}

std::string names(const Record& r) {
  return r.components[0].name + " " + r.components[1].name + " " + r.components[2].name;
}

// ---------------------------------------------------------------------------
// Assembly
// ---------------------------------------------------------------------------

TEST(Assemble, ComponentChoiceByAzimuthAndOrder) {
  struct Case {
    std::vector<std::optional<double>> azimuths;  // horizontals, in file order
    const char* expect;                            // values 1 2 11
  };
  const Case cases[] = {
      {{90.0, 0.0}, "B A Z"},              // 0 is north
      {{67.0, 337.0}, "B A Z"},            // 337 is 23 from north
      {{315.0, 45.0}, "B A Z"},            // tie at 45 from north: the smaller azimuth
      {{180.0, 359.0, 90.0}, "B C Z"},     // 359 first, then 90 before 180
      {{0.0, 0.0, 90.0}, "A C Z"},         // a second 0 is parallel to the first: 90
      {{std::nullopt, 0.0}, "A B Z"},      // one without azimuth: file order
      {{std::nullopt, std::nullopt}, "A B Z"},
  };
  for (const Case& k : cases) {
    std::vector<Channel> cs;
    cs.push_back(chan("Z", std::nullopt, true, {1, 2}));
    const char* n[] = {"A", "B", "C"};
    for (std::size_t i = 0; i < k.azimuths.size(); ++i) cs.push_back(chan(n[i], k.azimuths[i], false, {1, 2}));
    auto files = files_of(std::move(cs));
    Record r;
    ASSERT_TRUE(assemble(files, {}, r).ok());
    EXPECT_EQ(names(r), k.expect);
  }
}

TEST(Assemble, RefusalsNameWhatIsMissing) {
  Record r;
  {
    auto f = files_of({chan("A", 0.0, false, {1}), chan("B", 90.0, false, {1})});
    const Problem p = assemble(f, {}, r);
    EXPECT_EQ(p.status, Status::no_vertical);
    EXPECT_NE(p.text.find("--zero-vertical"), std::string::npos) << p.text;
  }
  {
    auto f = files_of({chan("A", 0.0, false, {1}), chan("Z", std::nullopt, true, {1})});
    const Problem p = assemble(f, {}, r);
    EXPECT_EQ(p.status, Status::too_few_horizontals);
    EXPECT_EQ(p.text, "only one horizontal component (A) among the channels given; a record needs two");
  }
  {
    auto cs = std::vector<Channel>{chan("A", 0.0, false, {1}), chan("B", 90.0, false, {1}), chan("Z", {}, true, {1})};
    cs[2].unit = Unit::none;
    auto f = files_of(std::move(cs));
    const Problem p = assemble(f, {}, r);
    EXPECT_EQ(p.status, Status::no_unit);
    EXPECT_EQ(p.file, "Z.txt");
    EXPECT_NE(p.text.find("--source-unit"), std::string::npos) << p.text;
  }
  {
    auto f = files_of({chan("A", 0.0, false, {1}), chan("B", 180.0, false, {1}), chan("Z", {}, true, {1})});
    const Problem p = assemble(f, {}, r);
    EXPECT_EQ(p.status, Status::too_few_horizontals);
    EXPECT_EQ(p.text, "every horizontal component points along 0 degrees; a record needs two directions");
  }
  {
    auto f = files_of({chan("A", 0.0, false, {1}), chan("B", 90.0, false, {1}), chan("Z", {}, true, {1})});
    f[1].station = "OTHER";
    EXPECT_EQ(assemble(f, {}, r).status, Status::mixed_files);
  }
  {
    auto f = files_of({chan("A", 0.0, false, {1}), chan("B", 90.0, false, {1}), chan("Z", {}, true, {1})});
    f[1].station = " s t a";  // the same station, spelled with blanks and case
    EXPECT_TRUE(assemble(f, {}, r).ok());
  }
}

TEST(Assemble, SurfaceOnlyUnlessChannelsNamed) {
  auto make = [] {
    std::vector<Channel> cs{chan("EW1", 90.0, false, {1}), chan("NS1", 0.0, false, {1}), chan("UD1", {}, true, {1}),
                            chan("EW2", 90.0, false, {2}), chan("NS2", 0.0, false, {2}), chan("UD2", {}, true, {2})};
    for (int i = 0; i < 3; ++i) cs[static_cast<std::size_t>(i)].surface = false;
    cs[0].unit = Unit::none;  // refused only when chosen
    return files_of(std::move(cs));
  };
  Record r;
  auto f = make();
  ASSERT_TRUE(assemble(f, {}, r).ok());
  EXPECT_EQ(names(r), "NS2 EW2 UD2");
  AssembleOptions o;
  o.channels = {"UD1", "EW1", "NS1"};
  f = make();
  EXPECT_EQ(assemble(f, o, r).status, Status::no_unit);
  o.source_unit = Unit::gal;
  f = make();
  ASSERT_TRUE(assemble(f, o, r).ok());
  EXPECT_EQ(names(r), "NS1 EW1 UD1");
  o.channels = {"UD1", "XX"};
  f = make();
  const Problem p = assemble(f, o, r);
  EXPECT_EQ(p.status, Status::bad_channels);
  EXPECT_EQ(p.text, "--channels names XX, which no file holds");
}

// A roof or borehole sensor is left out by default; when that is what
// the record lacks, the refusal names it, where it stands, and the
// --channels list that takes it.
TEST(Assemble, NotFreeFieldSensorsNamedWhenTheyAreWhatIsMissing) {
  auto make = [](std::vector<bool> roof) {
    std::vector<Channel> cs{chan("HNE", 90.0, false, {1}), chan("HNN", 0.0, false, {1}), chan("HNZ", {}, true, {1})};
    for (std::size_t i = 0; i < roof.size(); ++i) {
      if (!roof[i]) continue;
      cs[i].surface = false;
      cs[i].placement = "Roof";
    }
    return files_of(std::move(cs));
  };
  struct Case {
    std::vector<bool> roof;  // HNE, HNN, HNZ
    Status status;
    const char* text;
  };
  const Case cases[] = {
      {{true}, Status::too_few_horizontals,
       "only one free-field horizontal component (HNN): HNE (Roof) is horizontal but not a free-field sensor; to "
       "take it, give --channels HNN,HNE,HNZ"},
      {{true, true}, Status::too_few_horizontals,
       "no free-field horizontal component: HNE (Roof) and HNN (Roof) are horizontal but not free-field sensors; "
       "to take them, give --channels HNE,HNN,HNZ"},
      {{true, true, true}, Status::too_few_horizontals,
       "no free-field horizontal component: HNE (Roof) and HNN (Roof) are horizontal but not free-field sensors; "
       "to take them, give --channels HNE,HNN,HNZ"},
      {{false, false, true}, Status::no_vertical,
       "no free-field vertical component: HNZ (Roof) is vertical but not a free-field sensor; to take it, give "
       "--channels HNE,HNN,HNZ, or --zero-vertical for zeros"},
  };
  for (const Case& k : cases) {
    auto f = make(k.roof);
    Record r;
    const Problem p = assemble(f, {}, r);
    EXPECT_EQ(p.status, k.status);
    EXPECT_EQ(p.text, k.text);
    // the list given does take them
    AssembleOptions o;
    o.channels = {"HNE", "HNN", "HNZ"};
    f = make(k.roof);
    EXPECT_TRUE(assemble(f, o, r).ok()) << k.text;
  }
  // Only one horizontal in all: naming it cannot make a record.
  auto f = files_of({chan("EW1", 90.0, false, {1}), chan("UD2", {}, true, {1})});
  f[0].channels[0].surface = false;
  f[0].channels[0].placement = "borehole";
  Record r;
  Problem p = assemble(f, {}, r);
  EXPECT_EQ(p.text,
            "no free-field horizontal component: EW1 (borehole) is horizontal but not a free-field sensor; a record "
            "needs two horizontals");
  // No placement stated: the name alone.
  f = make({true});
  f[0].channels[0].placement.clear();
  EXPECT_EQ(assemble(f, {}, r).text.substr(0, 70),
            "only one free-field horizontal component (HNN): HNE is horizontal but ");
  // A vertical on the roof and --zero-vertical: zeros, no refusal.
  f = make({false, false, true});
  AssembleOptions zv;
  zv.zero_vertical = true;
  ASSERT_TRUE(assemble(f, zv, r).ok());
  EXPECT_EQ(names(r), "HNN HNE ZERO");
  // With --channels the choice is the user's: the plain words.
  f = make({true});
  AssembleOptions only;
  only.channels = {"HNN", "HNZ"};
  EXPECT_EQ(assemble(f, only, r).text, "only one horizontal component (HNN) among the channels given; a record needs two");
}

/// A file at `level` holding A (0), B (90) and Z (vertical), each with the
/// one value `v`.
FileContents volume(const std::string& file, Level level, double v) {
  FileContents f;
  f.station = "STA";
  f.level = level;
  for (Channel c : {chan("A", 0.0, false, {v}), chan("B", 90.0, false, {v}), chan("Z", {}, true, {v})}) {
    c.file = file;
    f.channels.push_back(std::move(c));
  }
  return f;
}

TEST(Assemble, OneLevelOfARecordCorrectedUnlessAsked) {
  Record r;
  std::vector<FileContents> f{volume("R.V1", Level::raw, 1), volume("R.V2", Level::corrected, 2)};
  ASSERT_TRUE(assemble(f, {}, r).ok());
  EXPECT_EQ(r.components[0].file, "R.V2");
  EXPECT_EQ(r.components[2].values, std::vector<double>{2});
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_EQ(r.notes[0], "used the corrected file R.V2 and left out the uncorrected file R.V1 (--level raw takes it)");

  AssembleOptions raw;
  raw.level = Level::raw;
  f = {volume("R.V1", Level::raw, 1), volume("R.V2", Level::corrected, 2)};
  Record rr;
  ASSERT_TRUE(assemble(f, raw, rr).ok());
  EXPECT_EQ(rr.components[1].file, "R.V1");
  EXPECT_EQ(rr.components[1].values, std::vector<double>{1});
  EXPECT_TRUE(rr.notes.empty());

  // Several files a level, and the order of the files does not matter.
  f = {volume("a.V2", Level::corrected, 2), volume("a.V1", Level::raw, 1), volume("b.V1", Level::raw, 1),
       volume("b.V2", Level::corrected, 2)};
  Record rs;
  ASSERT_TRUE(assemble(f, {}, rs).ok());
  EXPECT_EQ(rs.components[0].file, "a.V2");
  EXPECT_EQ(rs.notes.at(0), "used the corrected files a.V2 and b.V2 and left out the uncorrected files a.V1 and b.V1 "
                            "(--level raw takes them)");

  // One level only: nothing to say; --level for the other is refused.
  f = {volume("R.V1", Level::raw, 1)};
  Record ro;
  ASSERT_TRUE(assemble(f, {}, ro).ok());
  EXPECT_TRUE(ro.notes.empty());
  AssembleOptions corrected;
  corrected.level = Level::corrected;
  f = {volume("R.V1", Level::raw, 1)};
  Problem p = assemble(f, corrected, ro);
  EXPECT_EQ(p.status, Status::wrong_level);
  EXPECT_EQ(p.text, "--level corrected: no channel given comes from a corrected file (a Volume 2)");
  f = {volume("R.asc", Level::unstated, 1)};
  p = assemble(f, raw, ro);
  EXPECT_EQ(p.text, "--level raw: no channel given comes from an uncorrected file (a Volume 0 or 1)");

  // Files of unstated level stay whatever the level: the vertical here.
  f = {volume("R.V1", Level::raw, 1), volume("R.V2", Level::corrected, 2), volume("Z.asc", Level::unstated, 3)};
  f[0].channels.pop_back();
  f[1].channels.pop_back();
  f[2].channels.erase(f[2].channels.begin(), f[2].channels.begin() + 2);
  Record ru;
  ASSERT_TRUE(assemble(f, raw, ru).ok());
  EXPECT_EQ(ru.components[0].file, "R.V1");
  EXPECT_EQ(ru.components[2].file, "Z.asc");
}

TEST(Assemble, HorizontalPeaksFarApartGiveANote) {
  struct Case {
    std::vector<double> a, b;  // the two horizontals
    const char* note;          // nullptr: none
  };
  const Case cases[] = {
      {{-10, 3}, {2, -1}, nullptr},  // exactly 5 times: no note
      {{-11, 3}, {2, -1}, "the peaks of the two horizontals differ by a factor of 5.5 (A 11 gal, B 2 gal)"},
      {{0.5, 0.25}, {-64, 1}, "the peaks of the two horizontals differ by a factor of 128.0 (B 64 gal, A 0.5 gal)"},
      {{0, 0}, {0, 1e-9}, "the horizontal A is zero throughout and B is not"},
      {{0, 0}, {0, -0.0}, nullptr},  // both silent: nothing to compare
  };
  const std::string tail = ": a likely response or sensitivity error in the metadata; the values are imported as they are";
  for (const Case& k : cases) {
    auto f = files_of({chan("A", 0.0, false, k.a), chan("B", 90.0, false, k.b), chan("Z", {}, true, {1, 1})});
    Record r;
    ASSERT_TRUE(assemble(f, {}, r).ok());
    EXPECT_EQ(r.components[0].values, k.a);  // kept as they are
    EXPECT_EQ(r.components[1].values, k.b);
    if (k.note == nullptr) {
      EXPECT_TRUE(r.notes.empty()) << r.notes.at(0);
    } else {
      ASSERT_EQ(r.notes.size(), 1u);
      EXPECT_EQ(r.notes[0], k.note + tail);
    }
  }
  // Peaks compare in the output unit: 1 g against 100 gal is 9.8 times.
  auto f = files_of({chan("A", 0.0, false, {1}), chan("B", 90.0, false, {100}), chan("Z", {}, true, {1})});
  f[0].channels[0].unit = Unit::g;
  Record r;
  ASSERT_TRUE(assemble(f, {}, r).ok());
  EXPECT_EQ(r.notes.at(0), "the peaks of the two horizontals differ by a factor of 9.8 (A 1 g, B 0.102 g)" + tail);
}

// --info shows what step 2 will take: the covering epoch's direction.
TEST(Assemble, CoveringEpochAndItsOrientation) {
  Channel c = chan("HN2", {}, false, {1});
  std::vector<FileContents> files(1);
  ResponseEpoch e;
  e.seed_id = "XX.S..HN2";
  e.start_ns = 100;
  files[0].responses = {e};
  EXPECT_EQ(covering_response(c, files), nullptr);  // no seed_id
  c.seed_id = "XX.S..HN2";
  EXPECT_EQ(covering_response(c, files), &files[0].responses[0]);  // no start: the first
  c.start_ns = 99;
  EXPECT_EQ(covering_response(c, files), nullptr);  // before the epoch
  struct Case {
    std::optional<double> azimuth, dip;
    bool vertical;
    std::optional<double> expect;
  };
  const Case cases[] = {{90.0, 0.0, false, 90.0},    {-90.0, 0.0, false, 270.0},       {360.0, {}, false, 0.0},
                        {0.0, -90.0, true, {}},      {0.0, 90.0, true, {}},            {{}, 0.0, false, 45.0},
                        {{}, {}, true, {}}};
  for (const Case& k : cases) {
    Channel o = chan("X", 45.0, true, {});
    o.vertical = k.vertical && !k.dip && !k.azimuth;  // neither given: left as it was
    ResponseEpoch r;
    r.azimuth = k.azimuth;
    r.dip = k.dip;
    take_orientation(r, o);
    EXPECT_EQ(o.vertical, k.vertical);
    if (!k.vertical) {
      EXPECT_EQ(o.azimuth, k.expect);
    }
  }
}

TEST(Assemble, SamplingIntervalTolerance) {
  struct Case {
    double dt_b;
    bool ok;
  };
  const Case cases[] = {{0.005, true}, {0.005 * (1 + 5e-10), true}, {0.005 * (1 + 2e-9), false}, {0.01, false}};
  for (const Case& k : cases) {
    auto f = files_of({chan("A", 0.0, false, {1}), chan("B", 90.0, false, {1}, k.dt_b), chan("Z", {}, true, {1})});
    Record r;
    const Problem p = assemble(f, {}, r);
    EXPECT_EQ(p.ok(), k.ok) << k.dt_b;
    if (!k.ok) {
      EXPECT_EQ(p.status, Status::mismatched_dt);
    }
  }
}

TEST(Assemble, TrimPadAndAlignment) {
  auto make = [] {
    return files_of({chan("A", 0.0, false, {1, 2, 3, 4}), chan("B", 90.0, false, {5, 6}), chan("Z", {}, true, {7, 8, 9})});
  };
  Record r;
  auto f = make();
  ASSERT_TRUE(assemble(f, {}, r).ok());
  EXPECT_EQ(r.components[0].values, (std::vector<double>{1, 2}));
  EXPECT_EQ(r.components[2].values, (std::vector<double>{7, 8}));
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_EQ(r.notes[0], "the components have A 4, B 2 and Z 3 samples; trimmed to 2");
  AssembleOptions pad;
  pad.pad = true;
  f = make();
  Record rp;
  ASSERT_TRUE(assemble(f, pad, rp).ok());
  EXPECT_EQ(rp.components[1].values, (std::vector<double>{5, 6, 0, 0}));

  // Starts 0, 10 ms and 0 at dt 5 ms: A and Z lose two leading samples.
  f = make();
  f[0].channels[0].start_ns = 1'000'000'000;
  f[1].channels[0].start_ns = 1'010'000'000;
  f[2].channels[0].start_ns = 1'000'000'000;
  f[1].channels[0].values = {5, 6, 7};
  Record ra;
  ASSERT_TRUE(assemble(f, {}, ra).ok());
  // A {3, 4}, B {5, 6, 7}, Z {9} after alignment, then all cut to Z's one
  EXPECT_EQ(ra.components[0].values, (std::vector<double>{3}));
  EXPECT_EQ(ra.components[1].values, (std::vector<double>{5}));
  EXPECT_EQ(ra.components[2].values, (std::vector<double>{9}));
  ASSERT_EQ(ra.notes.size(), 3u);
  EXPECT_EQ(ra.notes[0], "dropped the first 2 samples of A to start it with the others");
  // B starts after A has ended: nothing in common.
  f = make();
  f[0].channels[0].start_ns = 0;
  f[1].channels[0].start_ns = 20'000'000;  // 4 samples of A later
  f[2].channels[0].start_ns = 0;
  EXPECT_EQ(assemble(f, {}, ra).status, Status::no_overlap);

  // --zero-vertical: value 11 is zeros of the final length.
  f = files_of({chan("A", 0.0, false, {1, 2, 3}), chan("B", 90.0, false, {4, 5, 6})});
  AssembleOptions zv;
  zv.zero_vertical = true;
  Record rz;
  ASSERT_TRUE(assemble(f, zv, rz).ok());
  EXPECT_EQ(rz.components[2].values, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(rz.components[2].name, "ZERO");
}

TEST(Assemble, UnitConversionOneOperation) {
  EXPECT_EQ(bits(convert_unit(1.0, Unit::g, Unit::gal)), bits(980.665));
  EXPECT_EQ(bits(convert_unit(980.665, Unit::gal, Unit::g)), bits(1.0));
  EXPECT_EQ(bits(convert_unit(1.0, Unit::g, Unit::mm_s2)), bits(9806.65));
  EXPECT_EQ(bits(convert_unit(250.0, Unit::gal, Unit::m_s2)), bits(2.5));
  EXPECT_EQ(bits(convert_unit(2.5, Unit::m_s2, Unit::gal)), bits(250.0));
  EXPECT_EQ(bits(convert_unit(-7.0, Unit::mm_s2, Unit::gal)), bits(-0.7));  // -7 / 10 rounds as the literal does
  EXPECT_EQ(bits(convert_unit(0.1, Unit::m_s2, Unit::mm_s2)), bits(100.0));
  EXPECT_EQ(bits(convert_unit(1.5, Unit::g, Unit::g)), bits(1.5));
  auto f = files_of({chan("A", 0.0, false, {980.665}), chan("B", 90.0, false, {1}), chan("Z", {}, true, {1})});
  f[1].channels[0].unit = Unit::g;
  AssembleOptions o;
  o.unit = Unit::g;
  Record r;
  ASSERT_TRUE(assemble(f, o, r).ok());
  EXPECT_EQ(r.unit, Unit::g);
  EXPECT_EQ(bits(r.components[0].values[0]), bits(1.0));
  EXPECT_EQ(bits(r.components[1].values[0]), bits(1.0));
}

TEST(Assemble, CountsTakeTheCoveringResponse) {
  auto make = [] {
    std::vector<Channel> cs{chan("HNE", {}, false, {1000, -500}), chan("HNN", {}, false, {10, 20}),
                            chan("HNZ", {}, false, {4, 8})};
    const char* ids[] = {"XX.S..HNE", "XX.S..HNN", "XX.S..HNZ"};
    for (std::size_t i = 0; i < 3; ++i) {
      cs[i].unit = Unit::counts;
      cs[i].seed_id = ids[i];
      cs[i].start_ns = 5'000;
    }
    auto f = files_of(std::move(cs));
    FileContents xml;
    auto epoch = [](const char* id, double sens, std::optional<double> az, double dip) {
      ResponseEpoch e;
      e.seed_id = id;
      e.sensitivity = sens;
      e.input_unit = Unit::m_s2;
      e.azimuth = az;
      e.dip = dip;
      return e;
    };
    ResponseEpoch old = epoch("XX.S..HNE", 1.0, 0.0, 0.0);
    old.end_ns = 4'999;  // ends before the data start: not this one
    xml.responses = {old, epoch("XX.S..HNE", -500.0, 90.0, 0.0), epoch("XX.S..HNN", 10.0, 0.0, 0.0),
                     epoch("XX.S..HNZ", 4.0, 0.0, -90.0)};
    f.push_back(std::move(xml));
    return f;
  };
  auto f = make();
  Record r;
  ASSERT_TRUE(assemble(f, {}, r).ok());
  EXPECT_EQ(names(r), "HNN HNE HNZ");
  EXPECT_EQ(r.unit, Unit::m_s2);
  EXPECT_EQ(r.components[1].values, (std::vector<double>{-2.0, 1.0}));  // negative sensitivity flips
  EXPECT_EQ(r.components[0].values, (std::vector<double>{1.0, 2.0}));
  EXPECT_EQ(r.components[2].values, (std::vector<double>{1.0, 2.0}));

  f = make();
  f.back().responses.pop_back();  // HNZ has no response
  Problem p = assemble(f, {}, r);
  EXPECT_EQ(p.status, Status::no_factor);
  EXPECT_EQ(p.file, "HNZ.txt");
  EXPECT_NE(p.text.find("XX.S..HNZ"), std::string::npos) << p.text;

  f = make();
  f.back().responses[3].input_unit = Unit::none;  // a velocity sensor, say
  EXPECT_EQ(assemble(f, {}, r).status, Status::no_factor);
}

// ---------------------------------------------------------------------------
// Writer
// ---------------------------------------------------------------------------

TEST(Writer, TimeColumnIsExactDecimalOfRowTimesDt) {
  struct Case {
    double dt;
    std::size_t row;
    const char* text;
  };
  const Case cases[] = {
      {0.005, 0, "0.000"},   {0.005, 1, "0.005"},  {0.005, 2, "0.010"},   {0.005, 3, "0.015"},
      {0.005, 200, "1.000"}, {0.02, 0, "0.00"},    {0.02, 7, "0.14"},     {0.0125, 3, "0.0375"},
      {1.0, 5, "5"},         {20.0, 3, "60"},      {0.004, 17499, "69.996"},
      // 17 digits: 600 x 0.30000000000000004 written out exactly
      {0.1 + 0.2, 600, "180.00000000000002400"},
      // 10^300 cannot be an integer step: the shortest decimal of the product
      {1e300, 2, "2e+300"},
  };
  for (const Case& k : cases) {
    std::string s;
    TimeColumn(k.dt).append(k.row, s);
    EXPECT_EQ(s, k.text) << k.dt << " row " << k.row;
  }
}

TEST(Writer, LayoutAndSanitisedWords) {
  EXPECT_EQ(sanitise_word("Gilroy - Gavilan Coll."), "Gilroy-GavilanColl.");
  EXPECT_EQ(sanitise_word(" /*, "), "unknown");
  EXPECT_EQ(sanitise_word(""), "unknown");
  EXPECT_EQ(sanitise_word("N28W_1"), "N28W_1");
  Record r;
  r.event = "Loma Prieta";
  r.station = "";
  r.unit = Unit::mm_s2;
  r.dt = 0.01;
  r.components = {Component{"N 0", "a", {1.5, -0.1}}, Component{"E", "b", {1e-7, 0.0}}, Component{"UP", "c", {-0.0, 3.0}}};
  std::string out;
  write_record(r, out);
  std::string expect = "LomaPrieta unknown acceleration mm_s2\nTIME N0 E";
  for (int v = 3; v <= 10; ++v) expect += " V" + std::string(v < 10 ? "0" : "") + std::to_string(v);
  expect += " UP";
  for (int v = 12; v <= 42; ++v) expect += " V" + std::to_string(v);
  expect += "\n";
  const std::string z8 = " 0 0 0 0 0 0 0 0", z31 = [] {
    std::string s;
    for (int i = 0; i < 31; ++i) s += " 0";
    return s;
  }();
  expect += "0.00 1.5 1e-07" + z8 + " -0" + z31 + "\n";
  expect += "0.01 -0.1 0" + z8 + " 3" + z31 + "\n";
  EXPECT_EQ(out, expect);
}

// ---------------------------------------------------------------------------
// PEER .AT2
// ---------------------------------------------------------------------------

TEST(Peer, RealFileHeaderAndValues) {
  const fs::path p = kRaw / "peer-at2" / "RSN763_GIL" / "RSN763_LOMAP_GIL067.AT2";
  const std::string bytes = slurp(p);
  ASSERT_FALSE(bytes.empty()) << p;
  const Format* f = detect_format(std::string_view(bytes).substr(0, kDetectBytes));
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f->name, "PEER NGA AT2");
  FileContents fc;
  ASSERT_TRUE(read_peer_at2(bytes, "x.AT2", fc).ok());
  ASSERT_EQ(fc.channels.size(), 1u);
  const Channel& c = fc.channels[0];
  EXPECT_EQ(fc.event, "Loma Prieta");
  EXPECT_EQ(fc.station, "Gilroy - Gavilan Coll.");
  EXPECT_EQ(c.name, "67");
  ASSERT_TRUE(c.azimuth.has_value());
  EXPECT_EQ(*c.azimuth, 67.0);
  EXPECT_FALSE(c.vertical);
  EXPECT_EQ(c.unit, Unit::g);
  EXPECT_EQ(bits(c.dt), bits(0.005));
  ASSERT_EQ(c.values.size(), 7999u);  // "NPTS=   7999"
  EXPECT_EQ(bits(c.values.front()), bits(-.8075668E-03));
  EXPECT_EQ(bits(c.values.back()), bits(.3362115E-03));
}

TEST(Peer, HeaderVariantsAndFailures) {
  const std::string head = "PEER NGA STRONG MOTION DATABASE RECORD\nImperial Valley, 5/19/40, El Centro, UP\n"
                           "ACCELERATION TIME SERIES IN UNITS OF G\n";
  FileContents fc;
  ASSERT_TRUE(read_peer_at2(head + "3    0.0100    NPTS, DT\n 1.0E-01 -2.5E-02\r\n .3\n", "v.AT2", fc).ok());
  ASSERT_EQ(fc.channels.size(), 1u);
  EXPECT_TRUE(fc.channels[0].vertical);
  EXPECT_EQ(fc.channels[0].values, (std::vector<double>{0.1, -0.025, 0.3}));
  EXPECT_EQ(bits(fc.channels[0].dt), bits(0.01));

  FileContents f2;
  Problem p = read_peer_at2(head + "NPTS=  4, DT= .01 SEC\n 1 2 3\n", "t.AT2", f2);
  EXPECT_EQ(p.status, Status::truncated);
  p = read_peer_at2(head + "NPTS=  3, DT= .01 SEC\n 1 2x 3\n", "t.AT2", f2);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 5u);
  EXPECT_NE(p.text.find("2x"), std::string::npos) << p.text;
  p = read_peer_at2(head + "NPTS=  3, DT= -.01 SEC\n 1 2 3\n", "t.AT2", f2);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 4u);
  p = read_peer_at2(head + "NPTS=  99999999999, DT= .01 SEC\n 1 2 3\n", "t.AT2", f2);
  EXPECT_EQ(p.status, Status::truncated);
  const std::string vel = "PEER NGA STRONG MOTION DATABASE RECORD\nX, 1/1/1, S, 90\n"
                          "VELOCITY TIME SERIES IN UNITS OF CM/S\nNPTS=  1, DT= .01 SEC\n 1\n";
  p = read_peer_at2(vel, "v.VT2", f2);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 3u);
}

}  // namespace
}  // namespace wavefft::import
