// SPDX-License-Identifier: GPL-3.0-or-later
// The text readers of wavefft-import for K-NET/KiK-net, ESM/AFAD .asc, the
// older Turkish layout, Taiwan CWB, UNAM, RENADIC, BHRC and USC, on the real
// files in tests/data/import/raw and on small files made here for what the
// real ones do not show; and the date, orientation and time-value pair
// readers they share.
//
// Expected samples come from the digits the files print (a K-NET count
// times numerator / denominator of its own Scale Factor line, a "G/10"
// number times 0.1); expected start times were worked out by hand from the
// printed clock and zone (date -u gave the epoch seconds).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "import/date_text.h"
#include "import/formats.h"
#include "import/lines.h"
#include "import/orientation.h"
#include "import/pair_block.h"
#include "tests/unit/test_files.h"

namespace wavefft::import {
namespace {

using testing::kRaw;
using testing::slurp;

FileContents read_ok(ReadFn read, const std::string& rel) {
  const std::string bytes = slurp(kRaw / rel);
  EXPECT_FALSE(bytes.empty()) << rel;
  FileContents out;
  const Problem p = read(bytes, rel, out);
  EXPECT_TRUE(p.ok()) << rel << ": line " << p.line << ": " << p.text;
  return out;
}

Problem read_text(ReadFn read, const std::string& bytes, FileContents& out) { return read(bytes, "x.txt", out); }

constexpr std::int64_t kSec = 1000000000;

TEST(ImportKnet, RealFilesCountsFactorsNamesAndStart) {
  const double f_ew = 7845.0 / 8223790.0;
  FileContents ew = read_ok(read_knet, "knet/CHB002/CHB0021412312349.EW");
  ASSERT_EQ(ew.channels.size(), 1u);
  const Channel& c = ew.channels[0];
  EXPECT_EQ(c.name, "EW");
  EXPECT_EQ(c.azimuth, 90.0);
  EXPECT_FALSE(c.vertical);
  EXPECT_TRUE(c.surface);
  EXPECT_EQ(c.values.size(), 6800u);  // Duration 68 s at 100 Hz
  EXPECT_EQ(c.dt, 0.01);
  EXPECT_EQ(c.unit, Unit::gal);
  EXPECT_EQ(c.factor_text, "7845(gal)/8223790");
  EXPECT_EQ(c.values.front(), -7765 * f_ew);
  EXPECT_EQ(c.values.back(), -7836 * f_ew);
  // Record Time 2014/12/31 23:50:00 JST, less 9 h and the 15 s trigger delay.
  EXPECT_EQ(c.start_ns, std::int64_t{1420037385} * kSec);
  EXPECT_EQ(ew.station, "CHB002");

  const FileContents ns = read_ok(read_knet, "knet/CHB002/CHB0021412312349.NS");
  EXPECT_EQ(ns.channels.at(0).azimuth, 0.0);
  EXPECT_EQ(ns.channels.at(0).values.front(), 7048 * f_ew);
  EXPECT_EQ(ns.channels.at(0).values.back(), 7103 * f_ew);
  EXPECT_TRUE(read_ok(read_knet, "knet/CHB002/CHB0021412312349.UD").channels.at(0).vertical);

  // KiK-net: Dir. 1..3 borehole NS/EW/UD, 4..6 surface, each its own factor.
  const FileContents ns1 = read_ok(read_knet, "knet/NGNH31_kik/NGNH311106302345.NS1");
  EXPECT_EQ(ns1.channels.at(0).name, "NS1");
  EXPECT_FALSE(ns1.channels.at(0).surface);
  EXPECT_EQ(ns1.channels.at(0).azimuth, 0.0);
  EXPECT_EQ(ns1.channels.at(0).values.front(), -71742 * (2940.0 / 6170270.0));
  EXPECT_EQ(ns1.channels.at(0).start_ns, std::int64_t{1309445133} * kSec);
  const FileContents ud2 = read_ok(read_knet, "knet/NGNH31_kik/NGNH311106302345.UD2");
  const Channel& u = ud2.channels.at(0);
  EXPECT_EQ(u.name, "UD2");
  EXPECT_TRUE(u.surface);
  EXPECT_TRUE(u.vertical);
  EXPECT_EQ(u.values.size(), 12000u);
  EXPECT_EQ(u.values.front(), -42980 * (3920.0 / 6170801.0));
  EXPECT_EQ(u.values.back(), -42928 * (3920.0 / 6170801.0));
  EXPECT_EQ(read_ok(read_knet, "knet/NGNH31_kik/NGNH311106302345.EW1").channels.at(0).azimuth, 90.0);
}

std::string knet_file(const std::string& duration, const std::string& scale, const std::string& data) {
  return "Origin Time       2014/12/31 23:49:00\nStation Code      X\nRecord Time       2014/12/31 23:50:00\n"
         "Sampling Freq(Hz) 100Hz\nDuration Time(s)  " + duration + "\nDir.              N-S\n"
         "Scale Factor      " + scale + "\nMemo.             \n" + data;
}

TEST(ImportKnet, RefusesShortHugeAndBadHeaders) {
  FileContents out;
  // 0.03 s at 100 Hz is 3 samples; the file has 2.
  Problem p = read_text(read_knet, knet_file("0.03", "1(gal)/2", "   1   2\n"), out);
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_NE(p.text.find("2 samples"), std::string::npos) << p.text;
  p = read_text(read_knet, knet_file("1e9", "1(gal)/2", "   1\n"), out);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_NE(p.text.find("Duration Time(s)"), std::string::npos) << p.text;
  p = read_text(read_knet, knet_file("0.02", "3920(gal)/0", "   1   2\n"), out);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 7u);
  EXPECT_NE(p.text.find("\"3920(gal)/0\""), std::string::npos) << p.text;
  // -32768 is an ordinary 24-bit count, not a flag; CR LF and Ctrl-Z padding.
  ASSERT_TRUE(read_text(read_knet, knet_file("0.02", "1(gal)/4", "  -32768     8\r\n\x1a\x1a"), out).ok());
  EXPECT_EQ(out.channels.back().values, (std::vector<double>{-32768 * 0.25, 8 * 0.25}));
}

TEST(ImportEsm, RealFilesAndDayFirstDates) {
  const FileContents e = read_ok(read_esm, "esm-asc/HL_DLFA/HL.DLFA..HNE.D.20190728.160908.C.ACC.ASC");
  ASSERT_EQ(e.channels.size(), 1u);
  const Channel& c = e.channels[0];
  EXPECT_EQ(c.seed_id, "HL.DLFA..HNE");
  EXPECT_EQ(c.azimuth, 90.0);
  EXPECT_EQ(c.values.size(), 13876u);
  EXPECT_EQ(c.dt, 0.005);
  EXPECT_EQ(c.unit, Unit::gal);
  EXPECT_EQ(c.values.back(), -0.000014);
  EXPECT_EQ(c.start_ns, std::int64_t{1564330145} * kSec + 700000000);
  EXPECT_EQ(read_ok(read_esm, "esm-asc/HL_DLFA/HL.DLFA..HNN.D.20190728.160908.C.ACC.ASC").channels.at(0).azimuth, 0.0);
  const FileContents z = read_ok(read_esm, "esm-asc/HL_DLFA/HL.DLFA..HNZ.D.20190728.160908.C.ACC.ASC");
  EXPECT_TRUE(z.channels.at(0).vertical);
  EXPECT_EQ(z.channels.at(0).values.back(), -0.000005);

  const std::string head =
      "EVENT_NAME: X\nNETWORK: TK\nSTATION_CODE: 0921\nDATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS: 20/07/2017_22:30:58.000\n"
      "SAMPLING_INTERVAL_S: 0.01\nNDATA: 3\nSTREAM: HNN\nUNITS: cm/s^2\nDATA_TYPE: ";
  FileContents out;
  ASSERT_TRUE(read_text(read_esm, head + "ACCELERATION\n1.5\n-2\n3e-1\n", out).ok());
  EXPECT_EQ(out.channels.at(0).start_ns, std::int64_t{1500589858} * kSec);
  EXPECT_EQ(out.channels.at(0).values, (std::vector<double>{1.5, -2.0, 0.3}));
  Problem p = read_text(read_esm, head + "VELOCITY\n1\n2\n3\n", out);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_NE(p.text.find("\"VELOCITY\""), std::string::npos) << p.text;
  p = read_text(read_esm, head + "ACCELERATION\n1\n-999.0\n3\n", out);
  EXPECT_EQ(p.status, Status::missing_value);
  EXPECT_EQ(p.line, 11u);
  EXPECT_EQ(read_text(read_esm, head + "ACCELERATION\n1\n2\n", out).status, Status::truncated);
  // A huge stated count is a short file, not a huge allocation.
  std::string huge = head + "ACCELERATION\n1\n2\n";
  huge.replace(huge.find("NDATA: 3"), 8, "NDATA: 99999999");
  EXPECT_EQ(read_text(read_esm, huge, out).status, Status::truncated);
  huge.replace(huge.find("NDATA: 99999999"), 15, "NDATA: 100000001");
  EXPECT_EQ(read_text(read_esm, huge, out).status, Status::malformed);
}

TEST(ImportTurkish, RealFileAndBrokenRows) {
  const FileContents t = read_ok(read_turkish, "afad/NSMN_0921/20170720223109_0921.txt");
  ASSERT_EQ(t.channels.size(), 3u);
  EXPECT_EQ(t.station, "0921");
  EXPECT_EQ(t.channels[0].name, "N-S");
  EXPECT_EQ(t.channels[0].azimuth, 0.0);
  EXPECT_EQ(t.channels[1].azimuth, 90.0);
  EXPECT_TRUE(t.channels[2].vertical);
  for (const Channel& c : t.channels) {
    EXPECT_EQ(c.values.size(), 28683u);
    EXPECT_EQ(c.dt, 0.01);
    EXPECT_EQ(c.unit, Unit::gal);
    EXPECT_EQ(c.start_ns, std::int64_t{1500589858} * kSec);  // 20/07/2017 22:30:58 GMT, day first
  }
  EXPECT_EQ(t.channels[0].values.front(), 0.000909);
  EXPECT_EQ(t.channels[2].values.front(), -0.000092);
  EXPECT_EQ(t.channels[1].values.back(), 0.001041);

  const std::string head =
      "STRONG GROUND MOTION RECORDS OF TURKIYE\r\nSTATION ID : 1\r\nEARTHQUAKE DATE : x\r\n"
      "RECORD TIME : 20/07/2017 22:30:58.000000 (GMT)\r\nNUMBER OF DATA : 2\r\nSAMPLING INTERVAL (sec) : 0.01\r\n"
      "  N-S  E-W  U-D\r\n";
  FileContents out;
  Problem p = read_text(read_turkish, head + " 1 2 3\r\n 4 5\r\n", out);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 9u);
  EXPECT_NE(p.text.find("2 values where 3"), std::string::npos) << p.text;
  EXPECT_EQ(read_text(read_turkish, head + " 1 2 3\r\n 4 5 -32768\r\n", out).status, Status::missing_value);
  EXPECT_EQ(read_text(read_turkish, head + " 1 2 3\r\n\x1a\x1a", out).status, Status::truncated);
}

TEST(ImportCwbUnam, RealFilesZonesAndColumns) {
  const FileContents w = read_ok(read_cwb, "cwb/EAS/1-EAS.dat");
  ASSERT_EQ(w.channels.size(), 3u);
  EXPECT_TRUE(w.channels[0].vertical);
  EXPECT_EQ(w.channels[1].azimuth, 0.0);
  EXPECT_EQ(w.channels[2].azimuth, 90.0);
  EXPECT_EQ(w.channels[2].values.size(), 6000u);
  EXPECT_EQ(w.channels[2].dt, 0.02);
  EXPECT_EQ(w.channels[2].values.back(), -0.299);
  EXPECT_EQ(w.channels[0].start_ns, std::int64_t{1517932229} * kSec);  // 23:50:29 GMT+08

  // Numbers that touch in the 10-character columns are split by column.
  const std::string cwb =
      "#Earthquake Information\n#StationCode: X\n#StartTime(GMT+08): 2018/02/06-23:50:29.000\n#SampleRate(Hz): 50\n"
      "#AmplitudeUnit:  gal\n#DataSequence: Time U(+); N(+); E(+)\n#Data: 4F10.3\n"
      "     0.000 -1234.567-12345.678     1.000\n";
  FileContents out;
  ASSERT_TRUE(read_text(read_cwb, cwb, out).ok());
  EXPECT_EQ(out.channels.at(0).values, std::vector<double>{-1234.567});
  EXPECT_EQ(out.channels.at(1).values, std::vector<double>{-12345.678});
  const Problem p = read_text(read_cwb, cwb + "     0.020     1.000     2.000\n", out);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 9u);

  const FileContents m = read_ok(read_unam, "other/unam_CUP5/CUP50401.012");
  ASSERT_EQ(m.channels.size(), 3u);
  EXPECT_TRUE(m.channels[0].vertical);
  EXPECT_EQ(m.channels[1].name, "N90E");
  EXPECT_EQ(m.channels[1].azimuth, 90.0);
  EXPECT_EQ(m.channels[2].azimuth, 0.0);
  EXPECT_EQ(m.channels[0].values.size(), 17500u);
  EXPECT_EQ(m.channels[0].dt, 0.004);
  EXPECT_EQ(m.channels[0].values.front(), -0.084);
  EXPECT_EQ(m.channels[2].values.back(), -0.057);
  // First sample 00:00:01 after an origin at 23:58:02.7 on 2004/01/01: the next day.
  EXPECT_EQ(m.channels[0].start_ns, std::int64_t{1073001601} * kSec);
}

TEST(ImportVolumeOne, RenadicBhrcUscRealFiles) {
  const FileContents r = read_ok(read_renadic, "other/renadic_altohosp/altohospicio0911131.v1");
  ASSERT_EQ(r.channels.size(), 3u);
  const double firsts[3] = {0.078, -0.079, 0.037};
  const double lasts[3] = {0.033, -0.057, 0.015};
  for (std::size_t k = 0; k < 3; ++k) {
    const Channel& c = r.channels[k];
    EXPECT_EQ(c.values.size(), 3500u);
    EXPECT_EQ(c.dt, 0.01);
    EXPECT_EQ(c.unit, Unit::g);
    EXPECT_EQ(c.factor_text, "G/10");
    EXPECT_EQ(c.values.front(), firsts[k] * 0.1);
    EXPECT_EQ(c.values.back(), lasts[k] * 0.1);
    EXPECT_EQ(c.order, k);
  }
  EXPECT_EQ(r.channels[0].azimuth, 90.0);
  EXPECT_EQ(r.channels[1].azimuth, 0.0);
  EXPECT_TRUE(r.channels[2].vertical);

  const FileContents b = read_ok(read_bhrc, "other/bhrc_5529/5529-1.V1");
  ASSERT_EQ(b.channels.size(), 3u);
  EXPECT_EQ(b.station, "5529");
  EXPECT_EQ(b.channels[0].azimuth, 106.0);
  EXPECT_TRUE(b.channels[1].vertical);
  EXPECT_EQ(b.channels[2].azimuth, 196.0);
  EXPECT_EQ(b.channels[0].dt, 1.0 / 200.0);  // DURATION 47.360 over 9472 points
  EXPECT_EQ(b.channels[1].values.size(), 9472u);
  EXPECT_EQ(b.channels[0].values.back(), .669326E-03 * 0.1);
  EXPECT_EQ(b.channels[1].values.front(), .436214E-02 * 0.1);
  EXPECT_EQ(b.channels[2].values.back(), -.751201E-02 * 0.1);

  // The USC times jump by 0.013 s (three steps) at 2.168 -> 2.181 on line
  // 130: the samples are not evenly spaced, so the file is refused there.
  FileContents u;
  const Problem p = read_usc(slurp(kRaw / "other/usc_017m30lw/017m30lw.s0a"), "a", u);
  EXPECT_EQ(p.status, Status::uneven_times);
  EXPECT_EQ(p.line, 130u);
  EXPECT_NE(p.text.find("2.168 to 2.181"), std::string::npos) << p.text;
}

/// The real USC file's 27 header lines, saying 3 points.
std::string usc_file() {
  const std::string real = slurp(kRaw / "other/usc_017m30lw/017m30lw.s0a");
  text::Lines lines(real);
  std::string head;
  std::string_view line;
  for (int k = 0; k < 27 && lines.next(line); ++k) head += std::string(line) + "\n";
  return head.replace(head.find("8095"), 4, "   3");  // NO. OF POINTS =      3
}

TEST(ImportVolumeOne, UscPairsSpacingFlagsAndTruncation) {
  FileContents out;
  // Times cut to the millisecond at dt 0.0043 are even within their printing.
  ASSERT_TRUE(read_text(read_usc, usc_file() + "    .000  -.005   .004   .010   .008   .020\n", out).ok());
  EXPECT_EQ(out.channels.at(0).name, "N90E");
  EXPECT_EQ(out.channels.at(0).dt, 0.004);
  EXPECT_EQ(out.channels.at(0).values, (std::vector<double>{-.005 * 0.1, .010 * 0.1, .020 * 0.1}));
  EXPECT_EQ(read_text(read_usc, usc_file() + "    .000  -.005   .004   -999   .008   .020\n", out).status,
            Status::missing_value);
  EXPECT_EQ(read_text(read_usc, usc_file() + "    .000  -.005   .004   .010\n", out).status, Status::truncated);
  const Problem p = read_text(read_usc, usc_file() + "    .000  -.005\n   .004   .010\n   .020   .020\n", out);
  EXPECT_EQ(p.status, Status::uneven_times);
  EXPECT_EQ(p.line, 29u);  // .004 where the span gives .010
  EXPECT_NE(p.text.find("time 0.004 of pair 2"), std::string::npos) << p.text;
}

// Agencies write the same keys and words in either case (AFAD's
// "DATA_TYPE: Acceleration" where ESM writes ACCELERATION): keys and the
// words the readers look for compare without case; a word that is not
// theirs stays refused, in whatever case.
TEST(ImportTextReaders, KeysAndWordsInEitherCase) {
  FileContents out;
  const std::string esm =
      "Event_Name: X\nNetwork: TK\nStation_Code: 0921\nDATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS: 20170720_223058.000\n"
      "sampling_interval_s: 0.01\nNdata: 2\nStream: HNN\nUNITS: CM/S^2\nDATA_TYPE: ";
  EXPECT_TRUE(is_esm(esm));
  ASSERT_TRUE(read_text(read_esm, esm + "Acceleration\n1\n2\n", out).ok());
  EXPECT_EQ(out.channels.at(0).name, "HNN");
  EXPECT_EQ(out.channels.at(0).unit, Unit::gal);
  EXPECT_EQ(out.channels.at(0).values, (std::vector<double>{1, 2}));
  Problem p = read_text(read_esm, esm + "Velocity\n1\n2\n", out);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.text, "DATA_TYPE is \"Velocity\", not ACCELERATION");

  // K-NET keys in capitals, the direction in lower case.
  std::string knet = knet_file("0.02", "1(gal)/2", "   1   2\n");
  knet.replace(knet.find("Dir.              N-S"), 21, "DIR.              n-s");
  knet.replace(knet.find("Scale Factor"), 12, "SCALE FACTOR");
  out = {};
  ASSERT_TRUE(read_text(read_knet, knet, out).ok());
  EXPECT_EQ(out.channels.at(0).name, "NS");
  EXPECT_EQ(out.channels.at(0).azimuth, 0.0);
  EXPECT_EQ(out.channels.at(0).values, (std::vector<double>{0.5, 1}));

  // CWB: keys, the zone and the time column's name in other capitals.
  const std::string cwb =
      "#Earthquake Information\n#STATIONCODE: X\n#starttime(gmt+08): 2018/02/06-23:50:29.000\n#SampleRate(HZ): 50\n"
      "#AmplitudeUnit:  GAL\n#DataSequence: TIME U(+); N(+); E(+)\n#Data: 4F10.3\n"
      "     0.000     1.000     2.000     3.000\n";
  out = {};
  ASSERT_TRUE(read_text(read_cwb, cwb, out).ok());
  EXPECT_EQ(out.channels.at(2).values, std::vector<double>{3});
  EXPECT_EQ(out.channels.at(0).start_ns, std::int64_t{1517932229} * kSec);  // 23:50:29 at UTC+8

  // The Turkish layout's zone in lower case.
  const std::string turkish =
      "STRONG GROUND MOTION RECORDS OF TURKIYE\nstation id : 1\nEARTHQUAKE DATE : x\n"
      "RECORD TIME : 20/07/2017 22:30:58.000000 (utc)\nNUMBER OF DATA : 1\nSampling Interval (sec) : 0.01\n"
      "  N-S  E-W  U-D\n 1 2 3\n";
  out = {};
  ASSERT_TRUE(read_text(read_turkish, turkish, out).ok());
  EXPECT_EQ(out.station, "1");
  EXPECT_EQ(out.channels.at(0).start_ns, std::int64_t{1500589858} * kSec);

  // USC's "G/10" as "g/10"; "hp/10" is no unit.
  std::string usc = usc_file();
  const std::size_t g10 = usc.find("G/10");
  ASSERT_NE(g10, std::string::npos);
  usc.replace(g10, 4, "g/10");
  out = {};
  ASSERT_TRUE(read_text(read_usc, usc + "    .000  -.005   .004   .010   .008   .020\n", out).ok());
  EXPECT_EQ(out.channels.at(0).values, (std::vector<double>{-.005 * 0.1, .010 * 0.1, .020 * 0.1}));
  usc.replace(g10, 4, "hp/1");
  EXPECT_EQ(read_text(read_usc, usc + "    .000  -.005   .004   .010   .008   .020\n", out).status, Status::malformed);
}

TEST(ImportTextFields, DatesOrientationsIntervalsAndPairs) {
  using text::DateOrder;
  EXPECT_EQ(text::parse_date_time("2014/12/31 23:50:00", DateOrder::ymd), std::int64_t{1420069800} * kSec);
  EXPECT_EQ(text::parse_date_time("20190728_160905.700", DateOrder::ymd), std::int64_t{1564330145} * kSec + 700000000);
  EXPECT_EQ(text::parse_date_time("20/07/2017 22:30:58.000000", DateOrder::dmy), std::int64_t{1500589858} * kSec);
  EXPECT_EQ(text::parse_date_time("02/29/2000 00:00", DateOrder::mdy), std::int64_t{951782400} * kSec);
  for (const char* bad : {"2014/13/01 00:00:00", "2015/02/29 00:00:00", "2014/12/31 24:00:00", "20/07/2017 22:30",
                          "2014/12/31 23:60:00", "14/12/31 23:50:00", "9999/12/31 00:00:00", "1799/12/31 23:59:59", "2014/12/31x23:50:00", ""}) {
    EXPECT_FALSE(text::parse_date_time(bad, DateOrder::ymd)) << bad;
  }
  EXPECT_EQ(text::parse_clock("00:00:01"), 1 * kSec);
  EXPECT_FALSE(text::parse_clock("1:2"));

  struct Case {
    const char* name;
    double azimuth;
  };
  for (const Case c : {Case{"N28W", 332}, Case{"S16W", 196}, Case{"S74E", 106}, Case{"N90E", 90}, Case{"N00E", 0},
                       Case{"360", 0}, Case{"67", 67}, Case{"E-W", 90}, Case{"ns", 0}}) {
    const std::optional<text::Orientation> o = text::parse_orientation(c.name);
    ASSERT_TRUE(o && o->azimuth) << c.name;
    EXPECT_EQ(*o->azimuth, c.azimuth) << c.name;
  }
  for (const char* v : {"UD", "Up", "V", "Z", "DWN", "U-D"}) {
    const std::optional<text::Orientation> o = text::parse_orientation(v);
    EXPECT_TRUE(o && o->vertical) << v;
  }
  for (const char* bad : {"N91E", "X", "361", "-5", "NE", ""}) EXPECT_FALSE(text::parse_orientation(bad)) << bad;
  // Azimuths from numeric header fields, reduced to [0, 360).
  EXPECT_EQ(text::reduce_azimuth(370.0), 10.0);
  EXPECT_EQ(text::reduce_azimuth(-90.0), 270.0);
  EXPECT_EQ(text::reduce_azimuth(360.0), 0.0);
  EXPECT_FALSE(std::signbit(text::reduce_azimuth(-720.0)));  // 0, not -0
  EXPECT_EQ(text::reduce_azimuth(-1e-20), 0.0);  // -1e-20 + 360 rounds to 360

  EXPECT_EQ(text::interval_from_span(47.36, 9472), 0.005);
  EXPECT_EQ(text::interval_from_span(34.716, 8094), 34.716 / 8094);  // no whole rate near 233.15

  // A time stalling (the same time twice) is named at its line.
  text::Lines lines("0.000 1\n0.010 2\n0.010 3\n0.030 4\n");
  std::vector<double> v;
  double dt = 0;
  double t0 = 0;
  const Problem p = text::read_pair_block(lines, 4, 1.0, true, "f", v, dt, t0);
  EXPECT_EQ(p.status, Status::uneven_times);
  EXPECT_EQ(p.line, 3u);
}

TEST(ImportTextDetectors, EachAcceptsExactlyItsOwnFiles) {
  struct Own {
    DetectFn detect;
    const char* folder;
  };
  const Own owners[] = {{is_knet, "knet/"},  {is_esm, "esm-asc/"},           {is_turkish, "afad/"},
                        {is_cwb, "cwb/"},    {is_unam, "other/unam_"},       {is_renadic, "other/renadic_"},
                        {is_bhrc, "other/bhrc_"}, {is_usc, "other/usc_"}};
  int files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(kRaw)) {
    if (!e.is_regular_file() || e.path().filename().string().starts_with(".") || e.path().filename() == "README.md") {
      continue;
    }
    ++files;
    const std::string rel = std::filesystem::relative(e.path(), kRaw).generic_string();
    std::string head = slurp(e.path());
    head.resize(std::min(head.size(), kDetectBytes));
    for (const Own& o : owners) EXPECT_EQ(o.detect(head), rel.starts_with(o.folder)) << o.folder << " on " << rel;
  }
  EXPECT_GT(files, 40);
}

TEST(ImportTextReaders, EveryCutOfEveryRealFileFailsCleanly) {
  // Each file cut at several points: a reader must return (no crash, no UB
  // under the sanitizers) and must not claim success for a cut inside the data.
  const std::pair<ReadFn, const char*> files[] = {
      {read_knet, "knet/CHB002/CHB0021412312349.EW"},
      {read_esm, "esm-asc/HL_DLFA/HL.DLFA..HNE.D.20190728.160908.C.ACC.ASC"},
      {read_turkish, "afad/NSMN_0921/20170720223109_0921.txt"},
      {read_cwb, "cwb/EAS/1-EAS.dat"},
      {read_unam, "other/unam_CUP5/CUP50401.012"},
      {read_renadic, "other/renadic_altohosp/altohospicio0911131.v1"},
      {read_bhrc, "other/bhrc_5529/5529-1.V1"},
      {read_usc, "other/usc_017m30lw/017m30lw.s0a"}};
  for (const auto& [read, rel] : files) {
    const std::string whole = slurp(kRaw / rel);
    for (const double share : {0.0, 0.001, 0.01, 0.05, 0.3, 0.7, 0.99}) {
      const auto cut = static_cast<std::size_t>(share * static_cast<double>(whole.size()));
      FileContents out;
      const Problem p = read(std::string_view(whole).substr(0, cut), rel, out);
      EXPECT_FALSE(p.ok()) << rel << " cut at " << cut;
      EXPECT_FALSE(p.text.empty()) << rel << " cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace wavefft::import
