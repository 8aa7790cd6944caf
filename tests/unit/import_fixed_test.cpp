// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-field volume readers of wavefft-import: COSMOS, CSMIP/CGS (and
// the older all-caps CDMG layout), GeoNet and USGS SMC, on their real files
// in tests/data/import/raw and on small files made here for what the real
// ones do not show. Expected numbers come from the files' own printed text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "import/fixedvol.h"
#include "import/formats.h"
#include "tests/unit/test_files.h"

namespace wavefft::import {
namespace {

namespace fs = std::filesystem;
using testing::kRaw;
using testing::slurp;

FileContents read_ok(ReadFn read, const fs::path& p) {
  FileContents out;
  const std::string bytes = slurp(p);
  EXPECT_FALSE(bytes.empty()) << p;
  const Problem pr = read(bytes, p.string(), out);
  EXPECT_TRUE(pr.ok()) << p << ": line " << pr.line << ": " << pr.text;
  return out;
}

Problem read_fail(ReadFn read, const std::string& bytes) {
  FileContents out;
  return read(bytes, "x.txt", out);
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  const std::size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

double min_of(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
double max_abs(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

// 2019-05-05 00:00 UTC is day 18021 after 1970-01-01 (49 years with 12 leap
// days = 17897, plus 124 days of 2019); 2018-11-30 is day 17865;
// 2012-02-13 is day 15383.
constexpr std::int64_t kSec = 1'000'000'000;

TEST(FixedDetect, EachDetectorAcceptsExactlyItsOwnFiles) {
  ASSERT_TRUE(fs::is_directory(kRaw)) << kRaw;
  int seen = 0;
  for (const auto& e : fs::recursive_directory_iterator(kRaw)) {
    if (!e.is_regular_file()) continue;
    const std::string rel = fs::relative(e.path(), kRaw).generic_string();
    std::string head = slurp(e.path());
    head.resize(std::min(head.size(), kDetectBytes));
    EXPECT_EQ(is_cosmos(head), rel.rfind("cosmos/", 0) == 0) << rel;
    EXPECT_EQ(is_csmip(head), rel.rfind("csmip/", 0) == 0) << rel;
    EXPECT_EQ(is_geonet(head), rel.rfind("geonet/", 0) == 0) << rel;
    EXPECT_EQ(is_smc(head), rel.rfind("other/smc_", 0) == 0) << rel;
    ++seen;
  }
  EXPECT_GT(seen, 30);
}

TEST(CosmosReader, Volume0RawCountsTakeTheHeaderFactor) {
  const FileContents f = read_ok(read_cosmos, kRaw / "cosmos/NP1795_v0c/NP1795-n.305.v0c");
  ASSERT_EQ(f.channels.size(), 3u);
  EXPECT_EQ(f.format, "COSMOS Volume 0");
  EXPECT_EQ(f.station, "NP-1795");
  EXPECT_EQ(f.start_text, "2019/05/05 06:47:39.932 UTC");
  // Real header: LSB 0.794729 uV/count (value 22), sensitivity 1.2 V/g (42).
  const double factor = 0.794729 * 1e-6 / 1.2;
  const char* names[] = {"HNE", "HNN", "HNZ"};
  for (std::size_t i = 0; i < 3; ++i) {
    const Channel& c = f.channels[i];
    EXPECT_EQ(c.name, names[i]);
    EXPECT_EQ(c.seed_id, std::string("NP.1795..") + names[i]);
    EXPECT_EQ(c.order, i);
    EXPECT_EQ(c.dt, 0.005);  // real 62: 5.0 ms
    EXPECT_EQ(c.values.size(), 20000u);
    EXPECT_EQ(c.unit, Unit::g);
    EXPECT_EQ(c.factor, factor);
    EXPECT_EQ(c.factor_text, "0.794729 uV/count / 1.2 V/g");
    // 2019-05-05 06:47 and real 30 = 39.932490 s.
    EXPECT_EQ(c.start_ns, (18021 * 86400 + 6 * 3600 + 47 * 60 + 39) * kSec + 932490000);
    EXPECT_TRUE(c.surface);
  }
  EXPECT_EQ(f.channels[0].azimuth, 90.0);  // "90 Deg"
  EXPECT_EQ(f.channels[1].azimuth, 0.0);   // "360 Deg"
  EXPECT_TRUE(f.channels[2].vertical);     // "Up"
  EXPECT_FALSE(f.channels[2].azimuth.has_value());
  EXPECT_EQ(f.channels[0].values[0], -982416 * factor);
  EXPECT_EQ(f.channels[0].values.back(), -982420 * factor);
  // "-1341624-1341625": numbers that touch are split by column.
  EXPECT_EQ(f.channels[1].values[1], -1341625 * factor);
  EXPECT_EQ(f.channels[2].values.back(), -2378646 * factor);
  // Text line 10: "Uncor max = 985881 counts, at 45.290 sec" (sample 9058).
  EXPECT_EQ(std::fabs(f.channels[0].values[9058]), 985881 * factor);
  EXPECT_EQ(max_abs(f.channels[0].values), 985881 * factor);
}

TEST(CosmosReader, Volume2OneVerticalChannel) {
  const FileContents f = read_ok(read_cosmos, kRaw / "cosmos/AKBMR_V2c/us1000hyfh_akbmrp_AKBMR--n.1000hyfh.BNZ.--.acc.V2c");
  ASSERT_EQ(f.channels.size(), 1u);
  const Channel& c = f.channels[0];
  EXPECT_EQ(f.format, "COSMOS Volume 2");
  EXPECT_EQ(c.name, "BNZ");  // "Sta Chan ?:Other": the SEED channel decides
  EXPECT_TRUE(c.vertical);
  EXPECT_EQ(c.unit, Unit::gal);
  EXPECT_EQ(c.factor, 1.0);
  EXPECT_EQ(c.dt, 0.005);  // real 62 = 5 ms, although real 34 says 0.02
  ASSERT_EQ(c.values.size(), 42000u);
  EXPECT_EQ(c.values.front(), 3.437285e-04);
  EXPECT_EQ(c.values.back(), 2.412614e-04);
  // "Max = -6.852 cm/sec2 at 76.215 sec".
  EXPECT_NEAR(min_of(c.values), -6.852, 0.0005);
  EXPECT_EQ(min_of(c.values), c.values[15243]);
  EXPECT_EQ(c.start_ns, (17865 * 86400 + 17 * 3600 + 29 * 60 + 39) * kSec + 137490000);
}

// A COSMOS channel made here: 13 text lines, 100 integer values of -999,
// 100 real values with LSB 2 uV/count (22), 4 V/g (42) and dt 10 ms (62),
// one comment, then `blocks` as given.
std::string cosmos_channel(const std::string& orientation, const std::string& blocks, bool factor = true) {
  std::string s = "Raw acceleration counts   (Format v01.20 with 13 text lines)\nRecord of Test quake\n\n\n"
                  "Statn No: 01-000001 Code:XX-TEST  Here\n\n\nRcrd start time: unknown\nSta Chan   1:" +
                  orientation + " (Rcrdr Chan  1) Location:Ground\n\n\n\n\n";
  s += " 100 Integer-header values follow on  10 lines, Format = (10I8)\n";
  for (int i = 0; i < 10; ++i) {
    for (int k = 0; k < 10; ++k) s += "    -999";
    s += "\n";
  }
  s += " 100 Real-header values follow on  20 lines, Format =(5F15.6)\n";
  std::vector<double> reals(100, -999.0);
  if (factor) reals[21] = 2.0, reals[41] = 4.0;
  reals[61] = 10.0;
  char buf[32];
  for (int i = 0; i < 100; ++i) {
    std::snprintf(buf, sizeof buf, "%15.6f", reals[static_cast<std::size_t>(i)]);
    s += buf;
    if (i % 5 == 4) s += "\n";
  }
  return s + "   1 Comment line(s) follow, each starting with a |\n| test\n" + blocks;
}

TEST(CosmosReader, MadeFilesWidthsLineEndsAndFailures) {
  const double factor = 2.0 * 1e-6 / 4.0;
  // The width changes from the first channel (4I8) to the second (3I5);
  // the second is a Volume 2 style channel whose velocity block is skipped.
  const std::string two =
      cosmos_channel("90 Deg", "   4 raw accel. pts, approx 0 secs, units=counts (50),Format=(4I8)\n"
                               "    1000   -2000    3000-1234567\nEnd-of-data for ch 1\n") +
      cosmos_channel("Up", "   3 raw accel. pts, approx 0 secs, units=counts (50),Format=(3I5)\n"
                           "   12  -34-5678\nEnd-of-data\n"
                           "   2 velocity pts, approx 0 secs, units=cm/sec (05),Format=(2F4.1)\n 1.0 2.0\n");
  std::string crlf;
  for (const char ch : two) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  for (const std::string& b : {two, crlf}) {
    FileContents f;
    const Problem p = read_cosmos(b, "x.v0c", f);
    ASSERT_TRUE(p.ok()) << p.line << ": " << p.text;
    ASSERT_EQ(f.channels.size(), 2u);
    EXPECT_EQ(f.channels[0].values, (std::vector<double>{1000 * factor, -2000 * factor, 3000 * factor, -1234567 * factor}));
    EXPECT_EQ(f.channels[1].values, (std::vector<double>{12 * factor, -34 * factor, -5678 * factor}));
    EXPECT_EQ(f.channels[0].azimuth, 90.0);
    EXPECT_TRUE(f.channels[1].vertical);
    EXPECT_EQ(f.channels[1].dt, 0.01);
    EXPECT_FALSE(f.channels[0].start_ns.has_value());  // no start in the headers
  }
  // Without LSB or sensitivity the counts stay counts, factor 1.
  FileContents raw;
  ASSERT_TRUE(read_cosmos(cosmos_channel("90 Deg", "   2 raw accel. pts, units=counts (50),Format=(2I8)\n      -5       7\n", false),
                          "x", raw).ok());
  EXPECT_EQ(raw.channels[0].unit, Unit::counts);
  EXPECT_EQ(raw.channels[0].values, (std::vector<double>{-5.0, 7.0}));

  const std::string head = "   4 raw accel. pts, approx 0 secs, units=counts (50),Format=(4I8)\n";
  Problem p = read_fail(read_cosmos, cosmos_channel("90 Deg", head + "       1       2    -999       4\n"));
  EXPECT_EQ(p.status, Status::missing_value);
  EXPECT_EQ(p.line, 49u);  // 13 text, 1 + 10 integer, 1 + 20 real, 2 comment, 1 block line
  EXPECT_NE(p.text.find("90 Deg acceleration: missing-value flag -999"), std::string::npos) << p.text;
  p = read_fail(read_cosmos, cosmos_channel("90 Deg", head + "       1       2\n"));
  EXPECT_EQ(p.status, Status::truncated);
  p = read_fail(read_cosmos, cosmos_channel("90 Deg", head));
  EXPECT_EQ(p.status, Status::truncated);
  p = read_fail(read_cosmos, cosmos_channel("90 Deg", "999999999 raw accel. pts, units=counts (50),Format=(4I8)\n"));
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_NE(p.text.find("\"999999999\""), std::string::npos) << p.text;
  p = read_fail(read_cosmos, cosmos_channel("90 Deg", "   1 raw accel. pts, units=furlongs,Format=(1I8)\n       1\n"));
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_NE(p.text.find("furlongs"), std::string::npos) << p.text;
  p = read_fail(read_cosmos, replaced(cosmos_channel("90 Deg", head), "Format = (10I8)", "Format = (what)"));
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 14u);
  EXPECT_NE(p.text.find("Integer-header"), std::string::npos) << p.text;
}

TEST(CsmipReader, Volume1AndVolume2OfOneRecord) {
  const FileContents v1 = read_ok(read_csmip, kRaw / "csmip/CE89146/CE89146.V1");
  const FileContents v2 = read_ok(read_csmip, kRaw / "csmip/CE89146/CE89146.V2");
  EXPECT_EQ(v1.format, "CSMIP/CGS Volume 1");
  EXPECT_EQ(v2.format, "CSMIP/CGS Volume 2");
  EXPECT_EQ(v1.station, "89146 Willow Creek");
  EXPECT_EQ(v2.station, v1.station);
  ASSERT_EQ(v1.channels.size(), 3u);
  ASSERT_EQ(v2.channels.size(), 3u);
  const char* names[] = {"360 Deg", "Up", "90 Deg"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(v1.channels[i].name, names[i]);
    EXPECT_EQ(v2.channels[i].name, names[i]);
    EXPECT_EQ(v1.channels[i].values.size(), 13200u);
    EXPECT_EQ(v2.channels[i].values.size(), 12000u);
    EXPECT_EQ(v1.channels[i].dt, 1.0 / 200.0);  // "200 pts/sec"
    EXPECT_EQ(v2.channels[i].dt, 0.005);        // "spaced at .005 sec"
    EXPECT_EQ(v1.channels[i].unit, Unit::g);
    EXPECT_EQ(v2.channels[i].unit, Unit::gal);
    // "Start time: 2/13/12, 21:06:45.0 UTC": only the uncut Volume 1 keeps it.
    EXPECT_EQ(v1.channels[i].start_ns, (15383 * 86400 + 21 * 3600 + 6 * 60 + 45) * kSec);
    EXPECT_FALSE(v2.channels[i].start_ns.has_value());
  }
  EXPECT_EQ(v1.channels[0].azimuth, 0.0);
  EXPECT_TRUE(v1.channels[1].vertical);
  EXPECT_EQ(v2.channels[2].azimuth, 90.0);
  EXPECT_EQ(v1.channels[0].values.front(), .000010);
  EXPECT_EQ(v1.channels[0].values.back(), -.000093);
  EXPECT_EQ(v2.channels[0].values.front(), -.000010);
  EXPECT_EQ(v2.channels[0].values.back(), .000537);  // the acceleration block, not displacement
  // "Peak acceleration = 77.280 cm/sec/sec" (channel 1).
  EXPECT_NEAR(max_abs(v2.channels[0].values), 77.280, 0.0005);
}

TEST(CsmipReader, OlderAllCapsLayoutWithCtrlZPadding) {
  const FileContents f = read_ok(read_csmip, kRaw / "csmip/CE36456_V2/ce36456p_CE36456.V2");
  EXPECT_EQ(f.format, "CDMG Volume 2");
  EXPECT_EQ(f.station, "36456 PARKFIELD FAULT ZONE 14");
  EXPECT_EQ(f.start_text, "05/02/83, 16:42:48.2 PDT");
  ASSERT_EQ(f.channels.size(), 3u);
  EXPECT_EQ(f.channels[0].azimuth, 90.0);
  EXPECT_TRUE(f.channels[1].vertical);
  EXPECT_EQ(f.channels[2].azimuth, 0.0);
  EXPECT_EQ(f.channels[0].values.size(), 3251u);
  EXPECT_EQ(f.channels[1].values.size(), 3250u);
  EXPECT_EQ(f.channels[0].dt, 0.02);
  EXPECT_EQ(f.channels[0].unit, Unit::gal);
  EXPECT_EQ(f.channels[0].values.front(), -3.038);
  EXPECT_EQ(f.channels[0].values.back(), -1.308);
  EXPECT_EQ(f.channels[1].values.back(), 3.153);
  EXPECT_EQ(min_of(f.channels[0].values), -267.957);  // "PEAK ACCELERATION = -267.957"
}

TEST(CsmipReader, FailuresNameLineAndText) {
  const std::string v1 = slurp(kRaw / "csmip/CE89146/CE89146.V1");
  ASSERT_FALSE(v1.empty());
  Problem p = read_fail(read_csmip, replaced(v1, "in units of g .", "in units of hp ."));
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 28u);
  EXPECT_NE(p.text.find("\"hp\""), std::string::npos) << p.text;
  // Cut inside channel 2's values: the last, partial line is named.
  const std::string cut = v1.substr(0, v1.find("/&  ----------  End of Data for Channel  2") - 500);
  p = read_fail(read_csmip, cut);
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_EQ(p.line, static_cast<std::size_t>(std::count(cut.begin(), cut.end(), '\n')) + 1);
  p = read_fail(read_csmip, replaced(v1, " 13200 Accelerogram points", "913200000 Accelerogram points"));
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_NE(p.text.find("913200000"), std::string::npos) << p.text;
}

// The station is the code after "Station No." (a CGS station) or "Station
// Id." (another network's) and the name on the next line; the event is the
// line after "Chan  N:", its date field taken once when the name field
// already ends with it (an event without a name: "Record of <date>").
TEST(CsmipReader, EventOnceStationByNumberOrId) {
  const std::string v2 = slurp(kRaw / "csmip/CE89146/CE89146.V2");
  ASSERT_FALSE(v2.empty());
  FileContents f = read_ok(read_csmip, kRaw / "csmip/CE89146/CE89146.V2");
  EXPECT_EQ(f.event, "Record of Mon Feb 13, 2012 13:06:45.0 PST");
  FileContents id;
  ASSERT_TRUE(read_csmip(replaced(v2, "Station No. 89146  ", "Station Id. WLT    "), "x.V2", id).ok());
  EXPECT_EQ(id.station, "WLT Willow Creek");
  FileContents named;
  const std::string line = "Record of Mon Feb 13, 2012 13:06:45.0 PST    Mon Feb 13, 2012 13:06:45.0 PST";
  ASSERT_TRUE(read_csmip(replaced(v2, line, "Offshore Earthquake       Mon Feb 13, 2012 13:06:45.0 PST"), "x.V2", named).ok());
  EXPECT_EQ(named.event, "Offshore Earthquake       Mon Feb 13, 2012 13:06:45.0 PST");  // two fields: the whole line
  FileContents other;
  ASSERT_TRUE(read_csmip(replaced(v2, line, "Rcrd of Mon Feb 13, 2012 13:06:45.0 PST    Sun Feb 12, 2012"), "x.V2", other).ok());
  EXPECT_EQ(other.event, "Rcrd of Mon Feb 13, 2012 13:06:45.0 PST    Sun Feb 12, 2012");  // not a repeat
  // The older layout names its event and dates it in one line, kept whole.
  EXPECT_EQ(read_ok(read_csmip, kRaw / "csmip/CE36456_V2/ce36456p_CE36456.V2").event,
            "COALINGA EARTHQUAKE     MAY 2, 1983 16:42 PDT");
  // "Location: Roof" on the Chan line: not free-field, and where it stands.
  const std::string v1 = slurp(kRaw / "csmip/CE89146/CE89146.V1");
  FileContents roof;
  ASSERT_TRUE(read_csmip(replaced(v1, "Chan  1: 360 Deg                ", "Chan  1: 360 Deg  Location: Roof"), "x.V1", roof).ok());
  EXPECT_FALSE(roof.channels.at(0).surface);
  EXPECT_EQ(roof.channels.at(0).placement, "Roof");
  EXPECT_TRUE(roof.channels.at(1).surface);
  EXPECT_EQ(roof.channels.at(1).placement, "");
}

// A volume layout says how far its values were processed: Volume 0 and 1
// are raw (uncorrected), Volume 2 corrected; assembly chooses between them.
TEST(FixedVolumes, EachVolumeStatesItsLevel) {
  struct Want {
    ReadFn read;
    const char* file;
    Level level;
  };
  const Want want[] = {{read_cosmos, "cosmos/NP1795_v0c/NP1795-n.305.v0c", Level::raw},
                       {read_cosmos, "cosmos/AKBMR_V2c/us1000hyfh_akbmrp_AKBMR--n.1000hyfh.BNZ.--.acc.V2c", Level::corrected},
                       {read_csmip, "csmip/CE89146/CE89146.V1", Level::raw},
                       {read_csmip, "csmip/CE89146/CE89146.V2", Level::corrected},
                       {read_csmip, "csmip/CE36456_V2/ce36456p_CE36456.V2", Level::corrected},
                       {read_geonet, "geonet/WPWS/20180212_211557_WPWS_20.V2A", Level::corrected},
                       {read_smc, "other/smc_0111/0111a.smc", Level::corrected}};
  for (const Want& w : want) EXPECT_EQ(read_ok(w.read, kRaw / w.file).level, w.level) << w.file;
  const std::string v2a = slurp(kRaw / "geonet/WPWS/20180212_211557_WPWS_20.V2A");
  FileContents v1a;
  ASSERT_TRUE(read_geonet(replaced(v2a, "Corrected accelerogram", "Uncorrected accelerogram"), "x.V1A", v1a).ok());
  EXPECT_EQ(v1a.level, Level::raw);
  EXPECT_EQ(v1a.format, "GeoNet Volume 1");
  const std::string smc = slurp(kRaw / "other/smc_0111/0111a.smc");
  FileContents raw;
  ASSERT_TRUE(read_smc(replaced(smc, "2 CORRECTED ACCELEROGRAM", "1 uncorrected accelerogram"), "x.smc", raw).ok());
  EXPECT_EQ(raw.level, Level::raw);
}

TEST(GeonetReader, Volume2ThreeComponentsInMillimetres) {
  const fs::path path = kRaw / "geonet/WPWS/20180212_211557_WPWS_20.V2A";
  const FileContents f = read_ok(read_geonet, path);
  EXPECT_EQ(f.format, "GeoNet Volume 2");
  EXPECT_EQ(f.station, "WPWS");
  ASSERT_EQ(f.channels.size(), 3u);
  EXPECT_EQ(f.channels[0].name, "S16W");
  EXPECT_EQ(f.channels[0].azimuth, 196.0);
  EXPECT_EQ(f.channels[1].azimuth, 106.0);  // S74E
  EXPECT_TRUE(f.channels[2].vertical);      // Up
  for (const Channel& c : f.channels) {
    EXPECT_EQ(c.values.size(), 5800u);
    EXPECT_EQ(c.dt, 0.02);
    EXPECT_EQ(c.unit, Unit::mm_s2);
    EXPECT_FALSE(c.start_ns.has_value());
  }
  // "Acceleration:  peak    -41.6 mm/s/s"; the first non-zero is -0.1 at sample 251.
  EXPECT_EQ(min_of(f.channels[0].values), -41.6);
  EXPECT_EQ(f.channels[0].values[251], -0.1);
  EXPECT_EQ(f.channels[0].values[250], 0.0);

  const std::string bytes = slurp(path);
  // Cut at a line end inside the second component's acceleration values.
  Problem p = read_fail(read_geonet, bytes.substr(0, bytes.find('\n', bytes.find("Component S74E") + 3000) + 1));
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_NE(p.text.find("Component S74E acceleration: the file ends after"), std::string::npos) << p.text;
  p = read_fail(read_geonet, replaced(bytes, "Number of points  5800", "Number of points  1e12"));
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 10u);
  EXPECT_NE(p.text.find("1e12"), std::string::npos) << p.text;
}

TEST(SmcReader, OneComponentPerFile) {
  struct Want {
    const char* file;
    std::size_t n;
    const char* name;
    std::optional<double> azimuth;
    double first, last, peak;  // peak: text line 7 "pk = 104.4"
  };
  const Want want[] = {{"0111a.smc", 6001, "360", 0.0, 1.5057, -2.8745E-1, 104.4},
                       {"0111b.smc", 6002, "up", std::nullopt, -1.2518E+1, -1.6806E+0, 48.3},
                       {"0111c.smc", 6004, "270", 270.0, -5.8486E+0, -1.1594E+0, 70.4}};
  for (const Want& w : want) {
    const FileContents f = read_ok(read_smc, kRaw / "other/smc_0111" / w.file);
    ASSERT_EQ(f.channels.size(), 1u) << w.file;
    const Channel& c = f.channels[0];
    EXPECT_EQ(f.station, "San Francisco, 1295 Shafter, F");
    EXPECT_EQ(c.name, w.name);
    EXPECT_EQ(c.azimuth, w.azimuth);
    EXPECT_EQ(c.vertical, !w.azimuth.has_value());
    EXPECT_EQ(c.values.size(), w.n);
    EXPECT_EQ(c.dt, 1.0 / 200.0);
    EXPECT_EQ(c.unit, Unit::gal);
    EXPECT_EQ(c.values.front(), w.first);
    EXPECT_EQ(c.values.back(), w.last);
    EXPECT_NEAR(max_abs(c.values), w.peak, 0.05);
  }
  const std::string a = slurp(kRaw / "other/smc_0111/0111a.smc");
  Problem p = read_fail(read_smc, replaced(a, "2 CORRECTED ACCELEROGRAM", "3 VELOCITY"));
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_NE(p.text.find("3 VELOCITY"), std::string::npos) << p.text;
  p = read_fail(read_smc, replaced(a, "-5.5295E+0-5.4933E+0", "-5.5295E+0-3.2768E+4"));
  EXPECT_EQ(p.status, Status::missing_value);
  EXPECT_EQ(p.line, 37u);
  p = read_fail(read_smc, replaced(a, "      6001", "2000000000"));
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_NE(p.text.find("2000000000"), std::string::npos) << p.text;
  p = read_fail(read_smc, a.substr(0, a.size() - 100));
  EXPECT_EQ(p.status, Status::truncated);
}

TEST(FixedVolumes, OrientationFieldsWithDegrees) {
  // "360 Deg" and "90 DEG" as COSMOS and CSMIP print them; the rest is the
  // shared orientation reading.
  EXPECT_EQ(fixedvol::orientation_of("360 Deg")->azimuth, 0.0);
  EXPECT_EQ(fixedvol::orientation_of(" 90 DEG  ")->azimuth, 90.0);
  EXPECT_EQ(fixedvol::orientation_of("270")->azimuth, 270.0);
  EXPECT_EQ(fixedvol::orientation_of("S74E")->azimuth, 106.0);
  EXPECT_TRUE(fixedvol::orientation_of("Up      ")->vertical);
  for (const char* unknown : {"Other", "", "Deg", "90 feet", "400 Deg"}) {
    EXPECT_FALSE(fixedvol::orientation_of(unknown).has_value()) << unknown;
  }
}

TEST(FixedVolumes, SampleCountWords) {
  EXPECT_EQ(fixedvol::sample_count_of("20000"), 20000u);
  EXPECT_EQ(fixedvol::sample_count_of("2.0E+04"), 20000u);
  EXPECT_EQ(fixedvol::sample_count_of("100000000"), 100000000u);
  for (const char* refused : {"100000001", "-5", "3.5", "x", ""}) {
    EXPECT_FALSE(fixedvol::sample_count_of(refused).has_value()) << refused;
  }
}

// A channel takes its direction and placement from the layout's fields; a
// field that says nothing leaves it as it was.
TEST(FixedVolumes, OrientAndPlaceAChannel) {
  Channel c;
  ASSERT_TRUE(fixedvol::orient("S16W", c));
  EXPECT_EQ(c.azimuth, 196.0);
  EXPECT_FALSE(c.vertical);
  EXPECT_FALSE(fixedvol::orient("Other", c));
  EXPECT_EQ(c.azimuth, 196.0);
  ASSERT_TRUE(fixedvol::orient("Up", c));
  EXPECT_TRUE(c.vertical);
  EXPECT_FALSE(c.azimuth.has_value());

  for (const char* free_field : {"", "  ", "Ground", "GROUND level", " Free field "}) {
    Channel f;
    fixedvol::place(free_field, f);
    EXPECT_TRUE(f.surface) << free_field;
    EXPECT_EQ(f.placement, "") << free_field;
  }
  Channel roof;
  fixedvol::place("  Roof ", roof);
  EXPECT_FALSE(roof.surface);
  EXPECT_EQ(roof.placement, "Roof");
}

}  // namespace
}  // namespace wavefft::import
