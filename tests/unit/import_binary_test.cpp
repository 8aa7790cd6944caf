// SPDX-License-Identifier: GPL-3.0-or-later
// The binary readers of wavefft-import: SAC, miniSEED, StationXML. Expected
// values of the real files come from their own bytes read independently
// (Python struct: SAC floats, Steim X0/Xn integration constants, record
// header times) and from the XML text.
#include <libmseed.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "import/formats.h"
#include "tests/unit/test_files.h"

namespace wi = wavefft::import;

namespace {

using wavefft::testing::kRaw;
using wavefft::testing::slurp;

// ---- SAC: a little-endian file built word by word ----
struct Sac {
  std::string bytes = std::string(632, '\0');
  explicit Sac(std::vector<float> samples) {
    for (int w = 0; w < 70; ++w) real(w, -12345.0f);
    for (int w = 70; w < 110; ++w) integer(w, -12345);
    for (int k = 0; k < 24; ++k) text(440 + 8 * k, "-12345  ");
    real(0, 0.01f), real(5, 0.0f), real(57, 0.0f), real(58, 90.0f);
    const int nz[6] = {2020, 60, 1, 2, 3, 400};  // 2020-02-29 01:02:03.400
    for (int i = 0; i < 6; ++i) integer(70 + i, nz[i]);
    integer(76, 6), integer(79, static_cast<int>(samples.size())), integer(85, 1), integer(105, 1);
    text(440, std::string("STA\0xyz!", 8)), text(464, "00      "), text(600, "HN1     "), text(608, "XX      ");
    for (float v : samples) bytes.append(reinterpret_cast<const char*>(&v), 4);
  }
  void integer(int w, int v) { std::memcpy(&bytes[4 * static_cast<std::size_t>(w)], &v, 4); }
  void real(int w, float v) { std::memcpy(&bytes[4 * static_cast<std::size_t>(w)], &v, 4); }
  void text(std::size_t at, const std::string& s) { bytes.replace(at, s.size(), s); }
  std::string swapped() const {  // every word but the text fields reversed
    std::string b = bytes;
    for (std::size_t at = 0; at + 4 <= b.size(); at += 4) {
      if (at >= 440 && at < 632) continue;
      std::swap(b[at], b[at + 3]), std::swap(b[at + 1], b[at + 2]);
    }
    return b;
  }
};

wi::Problem read(wi::ReadFn fn, const std::string& bytes, wi::FileContents& out) { return fn(bytes, "f.bin", out); }

// ---- miniSEED: records packed by libmseed ----
void keep_record(char* rec, int len, void* sink) { static_cast<std::string*>(sink)->append(rec, static_cast<std::size_t>(len)); }

std::string pack(const char* chan, int encoding, int reclen, hptime_t start, std::vector<std::int32_t> ints,
                 std::vector<double> reals = {}, int byteorder = 1) {
  MSRecord* msr = msr_init(nullptr);
  std::strcpy(msr->network, "XX"), std::strcpy(msr->station, "TEST"), std::strcpy(msr->location, "10");
  std::strcpy(msr->channel, chan);
  msr->dataquality = 'D', msr->starttime = start, msr->samprate = 200.0;
  msr->reclen = reclen, msr->encoding = static_cast<std::int8_t>(encoding), msr->byteorder = static_cast<std::int8_t>(byteorder);
  std::vector<float> floats(reals.begin(), reals.end());
  if (encoding == DE_FLOAT32) msr->datasamples = floats.data(), msr->numsamples = static_cast<std::int64_t>(floats.size()), msr->sampletype = 'f';
  else if (encoding == DE_FLOAT64) msr->datasamples = reals.data(), msr->numsamples = static_cast<std::int64_t>(reals.size()), msr->sampletype = 'd';
  else msr->datasamples = ints.data(), msr->numsamples = static_cast<std::int64_t>(ints.size()), msr->sampletype = 'i';
  std::string out;
  std::int64_t packed = 0;
  msr_pack(msr, keep_record, &out, &packed, 1, 0);
  msr->datasamples = nullptr;
  msr_free(&msr);
  return out;
}

std::vector<std::int32_t> ramp(int n, int step) {
  std::vector<std::int32_t> v;
  for (int i = 0; i < n; ++i) v.push_back((i % 7 - 3) * step + (i % 2 ? -20000 : 17));
  return v;
}

const hptime_t kT0 = 1600000000LL * 1000000 + 250000;  // 2020-09-13T12:26:40.25Z

}  // namespace

TEST(ImportSac, RealFilesDecodeToTheirOwnFloats) {
  const auto dir = kRaw / "sac/CJ_T001230";
  struct Want { const char* comp; double first, last; std::optional<double> az; bool vertical; };
  const Want wants[] = {{"HNE", 0.02247929945588112, 0.021762650460004807, 90.0, false},
                        {"HNN", 0.015256700105965137, 0.01600399985909462, 0.0, false},
                        {"HNZ", 1.0030332803726196, 1.0030492544174194, std::nullopt, true}};
  for (const auto& w : wants) {
    const std::string bytes = slurp(dir / (std::string("20190706031952.CJ.T001230.") + w.comp + ".sac"));
    ASSERT_TRUE(wi::is_sac(bytes.substr(0, wi::kDetectBytes)));
    wi::FileContents fc;
    ASSERT_TRUE(read(wi::read_sac, bytes, fc).ok()) << w.comp;
    ASSERT_EQ(fc.channels.size(), 1u);
    const wi::Channel& ch = fc.channels[0];
    EXPECT_EQ(ch.name, w.comp);
    EXPECT_EQ(ch.seed_id, std::string("CJ.T001230..") + w.comp);  // KNETWK "CJ\0" + leftover bytes cut at the NUL
    EXPECT_EQ(fc.station, "T001230");
    EXPECT_EQ(ch.values.size(), 15001u);
    EXPECT_EQ(ch.values.front(), w.first);
    EXPECT_EQ(ch.values.back(), w.last);
    EXPECT_EQ(ch.dt, 0.02);  // the shortest decimal of DELTA, not the float's exact value
    EXPECT_EQ(ch.start_ns, 1562383192000000000LL);  // 2019 day 187 = 07-06, 03:19:52.000
    EXPECT_EQ(ch.azimuth, w.az);
    EXPECT_EQ(ch.vertical, w.vertical);
    EXPECT_EQ(ch.unit, wi::Unit::none);
  }
}

TEST(ImportSac, ByteOrdersFieldsAndUndefinedValues) {
  Sac s({1.5f, -2.25f, 3.0f});
  s.real(5, 1.5f);  // B: the first sample 1.5 s after the reference time
  for (const std::string& bytes : {s.bytes, s.swapped()}) {
    wi::FileContents fc;
    ASSERT_TRUE(read(wi::read_sac, bytes, fc).ok());
    const wi::Channel& ch = fc.channels.at(0);
    EXPECT_EQ(ch.values, (std::vector<double>{1.5, -2.25, 3.0}));
    EXPECT_EQ(ch.seed_id, "XX.STA.00.HN1");  // "STA\0xyz!" cut at the NUL
    EXPECT_EQ(ch.dt, 0.01);
    // 2020-02-29 = 18321 days after 1970-01-01; 01:02:03.400 + 1.5 s
    EXPECT_EQ(ch.start_ns, (18321LL * 86400 + 3723) * 1000000000LL + 1900000000LL);
    EXPECT_EQ(ch.azimuth, 0.0);
    EXPECT_FALSE(ch.vertical);
  }
  Sac down({1.0f});
  down.real(58, 180.0f), down.integer(70, -12345);  // pointing down; NZYEAR undefined
  wi::FileContents fc;
  ASSERT_TRUE(read(wi::read_sac, down.swapped(), fc).ok());
  EXPECT_TRUE(fc.channels[0].vertical);
  EXPECT_EQ(fc.channels[0].values[0], 1.0);  // no sign flip: noted instead
  EXPECT_NE(fc.channels[0].factor_text.find("CMPINC 180"), std::string::npos);
  EXPECT_FALSE(fc.channels[0].start_ns.has_value());
  EXPECT_FALSE(fc.channels[0].azimuth.has_value());

  Sac named({1.0f});
  named.real(58, -12345.0f), named.real(57, -12345.0f), named.text(600, std::string("BHZ\0    ", 8));
  wi::FileContents fz;
  ASSERT_TRUE(read(wi::read_sac, named.bytes, fz).ok());
  EXPECT_TRUE(fz.channels[0].vertical);  // CMPINC undefined: the name decides
  EXPECT_EQ(fz.channels[0].seed_id, "XX.STA.00.BHZ");
}

TEST(ImportSac, RefusalsNameTheField) {
  auto problem = [](const std::string& bytes) {
    wi::FileContents fc;
    return read(wi::read_sac, bytes, fc);
  };
  Sac s(std::vector<float>(10, 0.5f));
  wi::Problem p = problem(s.bytes.substr(0, s.bytes.size() - 4));
  EXPECT_EQ(p.status, wi::Status::truncated);
  EXPECT_NE(p.text.find("NPTS 10 needs 672 bytes but the file has 668"), std::string::npos) << p.text;
  EXPECT_EQ(problem(s.bytes.substr(0, 400)).status, wi::Status::truncated);
  EXPECT_EQ(problem(s.bytes + "xxxx").status, wi::Status::malformed);

  Sac nan_sample = s;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(&nan_sample.bytes[632 + 8], &nan, 4);
  p = problem(nan_sample.swapped());
  EXPECT_EQ(p.status, wi::Status::malformed);
  EXPECT_EQ(p.text, "sample 3 of 10 is NaN");

  Sac bad_day = s;
  bad_day.integer(71, 366);  // 2020 is a leap year; 2019 is not
  EXPECT_TRUE(problem(bad_day.bytes).ok());
  bad_day.integer(70, 2019);
  EXPECT_EQ(problem(bad_day.bytes).text, "NZJDAY 366 is out of range 1..365");

  Sac uneven = s;
  uneven.integer(105, 0);
  EXPECT_NE(problem(uneven.bytes).text.find("LEVEN 0"), std::string::npos);

  // Detection: NVHDR 6 in either order with a positive NPTS and DELTA.
  EXPECT_TRUE(wi::is_sac(s.swapped()));
  Sac v7 = s;
  v7.integer(76, 7);
  EXPECT_FALSE(wi::is_sac(v7.bytes));
  Sac no_points = s;
  no_points.integer(79, 0);
  EXPECT_FALSE(wi::is_sac(no_points.bytes));
  EXPECT_FALSE(wi::is_sac(std::string(700, ' ')));
}

TEST(ImportMseed, RealFilesMatchTheirSteimConstants) {
  struct Want { const char* path; std::size_t n; double first, last; std::int64_t start; const char* id; };
  const Want wants[] = {
      {"mseed/CI_CLC/CI.CLC..HNE.mseed", 39001, -37966, -37299, 1562383163038300000LL, "CI.CLC..HNE"},
      {"mseed/CI_CLC/CI.CLC..HNZ.mseed", 39001, -17045, -16880, 1562383163038300000LL, "CI.CLC..HNZ"},
      {"mseed/TA_M04C/TA.M04C..HNN__20140824T102014Z__20140824T102244Z.mseed", 15000, -53324, -53283,
       1408875614078400000LL, "TA.M04C..HNN"},
  };
  for (const auto& w : wants) {
    const std::string bytes = slurp(kRaw / w.path);
    ASSERT_FALSE(bytes.empty()) << w.path;
    EXPECT_TRUE(wi::is_mseed(bytes.substr(0, wi::kDetectBytes)));
    EXPECT_FALSE(wi::is_sac(bytes.substr(0, wi::kDetectBytes)));
    wi::FileContents fc;
    const wi::Problem p = read(wi::read_mseed, bytes, fc);
    ASSERT_TRUE(p.ok()) << p.text;
    ASSERT_EQ(fc.channels.size(), 1u);
    const wi::Channel& ch = fc.channels[0];
    EXPECT_EQ(ch.seed_id, w.id);
    EXPECT_EQ(ch.values.size(), w.n);
    EXPECT_EQ(ch.values.front(), w.first);  // X0 of the first record
    EXPECT_EQ(ch.values.back(), w.last);    // Xn of the last record
    EXPECT_EQ(ch.start_ns, w.start);
    EXPECT_DOUBLE_EQ(ch.dt, 0.01);
    EXPECT_EQ(ch.unit, wi::Unit::counts);
    EXPECT_EQ(ch.vertical, ch.name == "HNZ");
    const std::optional<double> az = ch.name == "HNN" ? 0.0 : ch.name == "HNE" ? 90.0 : std::optional<double>();
    EXPECT_EQ(ch.azimuth, az);
  }
}

TEST(ImportMseed, EveryEncodingAndRecordLengthRoundTrips) {
  const std::vector<std::int32_t> small = ramp(700, 1000);  // fits int16
  const std::vector<std::int32_t> big = ramp(700, 3000000);
  std::vector<double> reals;
  for (int i = 0; i < 700; ++i) reals.push_back(std::ldexp(1.0, i % 20 - 10) * (i % 3 - 1) + 0.5);
  struct Case { int encoding; int reclen; int byteorder; };
  for (const Case c : {Case{DE_INT16, 256, 1}, Case{DE_INT32, 4096, 0}, Case{DE_FLOAT32, 256, 0}, Case{DE_FLOAT64, 4096, 1},
                       Case{DE_STEIM1, 256, 1}, Case{DE_STEIM2, 4096, 1}, Case{DE_STEIM2, 512, 1}}) {
    const auto& ints = c.encoding == DE_INT16 ? small : big;
    const std::string bytes = pack("HNE", c.encoding, c.reclen, kT0, ints, reals, c.byteorder);
    ASSERT_FALSE(bytes.empty());
    wi::FileContents fc;
    const wi::Problem p = read(wi::read_mseed, bytes, fc);
    ASSERT_TRUE(p.ok()) << "encoding " << c.encoding << ": " << p.text;
    const std::vector<double>& got = fc.channels.at(0).values;
    ASSERT_EQ(got.size(), 700u);
    for (std::size_t i = 0; i < 700; ++i) {
      const double want = c.encoding == DE_FLOAT32 ? static_cast<double>(static_cast<float>(reals[i]))
                          : c.encoding == DE_FLOAT64 ? reals[i] : static_cast<double>(ints[i]);
      ASSERT_EQ(got[i], want) << "encoding " << c.encoding << " sample " << i;
    }
    EXPECT_EQ(fc.channels[0].start_ns, kT0 * 1000);
    EXPECT_EQ(fc.channels[0].dt, 1.0 / 200.0);
    EXPECT_EQ(fc.channels[0].azimuth, 90.0);
  }
}

TEST(ImportMseed, ChannelsGapsAndDamage) {
  const auto a = ramp(300, 50);
  const std::string e1 = pack("HNE", DE_STEIM2, 512, kT0, a);
  const std::string z1 = pack("HNZ", DE_STEIM2, 512, kT0, a);
  // 300 samples at 200 Hz = 1.5 s: the follow-on starts 1.5 s later.
  const std::string e2 = pack("HNE", DE_STEIM2, 512, kT0 + 1500000, a);
  wi::FileContents fc;
  ASSERT_TRUE(read(wi::read_mseed, e1 + z1 + e2, fc).ok());  // interleaved channels
  ASSERT_EQ(fc.channels.size(), 2u);
  EXPECT_EQ(fc.channels[0].seed_id, "XX.TEST.10.HNE");
  EXPECT_EQ(fc.channels[0].values.size(), 600u);
  EXPECT_EQ(fc.channels[1].name, "HNZ");
  EXPECT_TRUE(fc.channels[1].vertical);
  EXPECT_EQ(fc.channels[1].order, 1u);

  const std::string late = pack("HNE", DE_STEIM2, 512, kT0 + 2000000, a);  // 0.5 s late
  wi::Problem p = read(wi::read_mseed, e1 + late, fc);
  EXPECT_EQ(p.status, wi::Status::malformed);
  EXPECT_NE(p.text.find("gap of 0.5 s at 2020-09-13T12:26:42.250000000Z in XX.TEST.10.HNE"), std::string::npos) << p.text;
  const std::string early = pack("HNE", DE_STEIM2, 512, kT0 + 1000000, a);
  EXPECT_NE(read(wi::read_mseed, e1 + early, fc).text.find("overlap of 0.5 s"), std::string::npos);

  p = read(wi::read_mseed, e1 + e2.substr(0, 300), fc);
  EXPECT_EQ(p.status, wi::Status::truncated);
  EXPECT_NE(p.text.find("the record at byte " + std::to_string(e1.size()) + " needs 212 more bytes"), std::string::npos)
      << p.text;
  p = read(wi::read_mseed, e1 + std::string(512, 'x'), fc);
  EXPECT_EQ(p.status, wi::Status::malformed);
  EXPECT_EQ(p.text, "no miniSEED record header at byte " + std::to_string(e1.size()));

  // A header that claims more int32 samples than its record holds.
  std::string lying = pack("HNE", DE_INT32, 256, kT0, ramp(40, 9));
  lying[30] = 0, lying[31] = 100;  // sample count 100 (big-endian header)
  p = read(wi::read_mseed, lying, fc);
  EXPECT_EQ(p.status, wi::Status::malformed);
  EXPECT_NE(p.text.find("states 100 samples but holds room for"), std::string::npos) << p.text;
  EXPECT_FALSE(wi::is_mseed("000001D CLC    HNECI some text that is not binary at all........"));
}

namespace {
std::string station_xml(const std::string& root_attrs, const std::string& channels, const std::string& prefix = "") {
  return "<?xml version=\"1.0\"?>\n<" + prefix + "FDSNStationXML " + root_attrs + ">\n <" + prefix +
         "Network code=\"NZ\">\n  <" + prefix + "Station code=\"WEL\">\n" + channels + "  </" + prefix +
         "Station>\n </" + prefix + "Network>\n</" + prefix + "FDSNStationXML>\n";
}
std::string channel_xml(const std::string& attrs, const std::string& value, const std::string& unit,
                        const std::string& p = "") {
  return "<" + p + "Channel " + attrs + "><" + p + "Azimuth>360</" + p + "Azimuth><" + p + "Dip>-90</" + p + "Dip><" + p +
         "Response><" + p + "InstrumentSensitivity><" + p + "Value>" + value + "</" + p + "Value><" + p + "InputUnits><" +
         p + "Name>" + unit + "</" + p + "Name></" + p + "InputUnits></" + p + "InstrumentSensitivity></" + p +
         "Response></" + p + "Channel>\n";
}
}  // namespace

TEST(ImportStationXml, RealDocuments) {
  const auto path = kRaw / "mseed/CI_CLC/CI.CLC.xml";
  struct Want { const char* id; double sens, az, dip; };
  const Want ci[] = {{"CI.CLC..HNE", 213945.0, 90, 0}, {"CI.CLC..HNN", 213808.0, 0, 0}, {"CI.CLC..HNZ", 213740.0, 0, -90}};
  const std::string bytes = slurp(path);
  EXPECT_TRUE(wi::is_stationxml(bytes.substr(0, wi::kDetectBytes)));
  wi::FileContents fc;
  ASSERT_TRUE(read(wi::read_stationxml, bytes, fc).ok());
  EXPECT_EQ(fc.station, "CLC");
  ASSERT_EQ(fc.responses.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(fc.responses[i].seed_id, ci[i].id);
    EXPECT_EQ(fc.responses[i].sensitivity, ci[i].sens);
    EXPECT_EQ(fc.responses[i].azimuth, ci[i].az);
    EXPECT_EQ(fc.responses[i].dip, ci[i].dip);
    EXPECT_EQ(fc.responses[i].input_unit, wi::Unit::m_s2);
    EXPECT_EQ(fc.responses[i].start_ns, 1334338080000000000LL);              // 2012-04-13T17:28:00
    EXPECT_EQ(fc.responses[i].end_ns, std::numeric_limits<std::int64_t>::max());  // 3000-01-01: open
  }
  wi::FileContents ta;  // ISO-8859-1 document
  ASSERT_TRUE(read(wi::read_stationxml, slurp(kRaw / "mseed/TA_M04C/TA.M04C.xml"), ta).ok());
  ASSERT_EQ(ta.responses.size(), 3u);
  EXPECT_EQ(ta.responses[2].sensitivity, 427894.0);
  EXPECT_EQ(ta.responses[2].end_ns, 1461619500000000000LL);  // 2016-04-25T21:25:00
  EXPECT_EQ(ta.responses[2].dip, -90.0);
}

TEST(ImportStationXml, EpochsUnitsAndNamespaces) {
  const std::string ns10 = "xmlns=\"http://www.fdsn.org/xml/station/1\" schemaVersion=\"1.0\"";
  const std::string two_epochs = station_xml(
      ns10, channel_xml("code=\"HNZ\" locationCode=\"20\" startDate=\"2010-01-01T00:00:00\" endDate=\"2015-06-30T12:00:00.5Z\"",
                        "-4.1E5", "m/s/s") +
                channel_xml("code=\"HNZ\" locationCode=\"20\" startDate=\"2015-06-30T12:00:00.5+02:00\"", "1020", "CM/S**2") +
                channel_xml("code=\"HHZ\" startDate=\"2015-01-01\"", "6.3e8", "M/S") +
                "<Channel code=\"LOG\"/>\n");
  wi::FileContents fc;
  ASSERT_TRUE(read(wi::read_stationxml, two_epochs, fc).ok());
  ASSERT_EQ(fc.responses.size(), 3u);  // LOG has no sensitivity: no epoch
  EXPECT_EQ(fc.responses[0].seed_id, "NZ.WEL.20.HNZ");
  EXPECT_EQ(fc.responses[0].sensitivity, -410000.0);
  EXPECT_EQ(fc.responses[0].input_unit, wi::Unit::m_s2);
  EXPECT_EQ(fc.responses[0].azimuth, 0.0);  // 360 reduced
  EXPECT_EQ(fc.responses[0].start_ns, 1262304000000000000LL);
  EXPECT_EQ(fc.responses[0].end_ns, 1435665600500000000LL);
  EXPECT_EQ(fc.responses[1].start_ns, 1435665600500000000LL - 7200000000000LL);  // +02:00 is 2 h before UTC
  EXPECT_EQ(fc.responses[1].end_ns, std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(fc.responses[1].input_unit, wi::Unit::gal);
  EXPECT_EQ(fc.responses[2].seed_id, "NZ.WEL..HHZ");
  EXPECT_EQ(fc.responses[2].input_unit, wi::Unit::none);  // a velocity sensor

  const std::string v11 = station_xml("xmlns:fsx=\"http://www.fdsn.org/xml/station/1\" schemaVersion=\"1.1\"",
                                      channel_xml("code=\"HN2\" locationCode=\"\"", "2.5", "g", "fsx:"), "fsx:");
  EXPECT_TRUE(wi::is_stationxml(v11));
  wi::FileContents f11;
  ASSERT_TRUE(read(wi::read_stationxml, v11, f11).ok());
  ASSERT_EQ(f11.responses.size(), 1u);
  EXPECT_EQ(f11.responses[0].input_unit, wi::Unit::g);
  EXPECT_EQ(f11.responses[0].start_ns, std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(wi::is_stationxml("<?xml version=\"1.0\"?><quakeml/>"));
}

TEST(ImportStationXml, RefusalsNameLineAndText) {
  const std::string ns = "schemaVersion=\"1.1\"";
  wi::FileContents fc;
  wi::Problem p = read(wi::read_stationxml, station_xml(ns, ""), fc);
  EXPECT_EQ(p.status, wi::Status::malformed);
  EXPECT_EQ(p.text, "no Network/Station/Channel element");
  p = read(wi::read_stationxml, station_xml(ns, channel_xml("code=\"HNE\" startDate=\"2015-02-30T00:00:00\"", "1", "G")), fc);
  EXPECT_EQ(p.line, 5u);
  EXPECT_EQ(p.text, "Channel NZ.WEL..HNE startDate \"2015-02-30T00:00:00\" is not an ISO 8601 date-time");
  p = read(wi::read_stationxml, station_xml(ns, channel_xml("code=\"HNE\"", "zero", "G")), fc);
  EXPECT_EQ(p.text, "Channel NZ.WEL..HNE InstrumentSensitivity Value \"zero\" is not a non-zero number");
  p = read(wi::read_stationxml, station_xml(ns, "<Channel code=\"HNE\">").substr(0, 90), fc);
  EXPECT_EQ(p.status, wi::Status::malformed);
  EXPECT_EQ(p.text.rfind("not well-formed XML", 0), 0u) << p.text;
  p = read(wi::read_stationxml, station_xml("schemaVersion=\"2.0\"", channel_xml("code=\"HNE\"", "1", "G")), fc);
  EXPECT_NE(p.text.find("schemaVersion \"2.0\""), std::string::npos);
}

// ---- Each step of the readers: the refusals not named above, and the directions taken ----

TEST(ImportSac, HeaderWordsAndDirections) {
  auto read_one = [](const std::string& bytes, wi::FileContents& fc) { return read(wi::read_sac, bytes, fc); };
  struct Refusal { int word; float real; int integer; bool is_int; const char* text; };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const Refusal& r : {Refusal{0, 0.0f, 0, false, "DELTA 0 is not a positive interval"},
                           Refusal{79, 0, -3, true, "NPTS -3 is not a positive count"},
                           Refusal{85, 0, 2, true, "IFTYPE 2 is not a time series (1)"},
                           Refusal{58, nan, 0, false, "CMPINC nan is not a number"},
                           Refusal{57, nan, 0, false, "CMPAZ nan is not a number"},
                           Refusal{76, 0, 7, true, "the SAC header version NVHDR (word 76) is not 6 in either byte order"}}) {
    Sac s({1.0f});
    r.is_int ? s.integer(r.word, r.integer) : s.real(r.word, r.real);
    wi::FileContents fc;
    const wi::Problem p = read_one(s.swapped(), fc);
    EXPECT_EQ(p.status, wi::Status::malformed) << r.text;
    EXPECT_EQ(p.text, r.text);
  }
  Sac inf({1.0f, std::numeric_limits<float>::infinity()});
  wi::FileContents fc;
  EXPECT_EQ(read_one(inf.bytes, fc).text, "sample 2 of 2 is infinite");
  const wi::Problem shortp = read_one(inf.bytes.substr(0, 631), fc);
  EXPECT_EQ(shortp.status, wi::Status::truncated);
  EXPECT_EQ(shortp.text, "the SAC header needs 632 bytes but the file has 631");

  // CMPAZ reduced to [0, 360); a vertical (CMPINC 0) ignores CMPAZ, even a NaN one.
  for (const auto& [cmpaz, want] : {std::pair{450.0f, 90.0}, std::pair{-90.0f, 270.0}, std::pair{360.0f, 0.0}}) {
    Sac s({1.0f});
    s.real(57, cmpaz);
    wi::FileContents f;
    ASSERT_TRUE(read_one(s.bytes, f).ok());
    EXPECT_EQ(f.channels.at(0).azimuth, want) << cmpaz;
  }
  Sac up({1.0f});
  up.real(58, 0.0f), up.real(57, nan);
  wi::FileContents fu;
  ASSERT_TRUE(read_one(up.bytes, fu).ok());
  EXPECT_TRUE(fu.channels[0].vertical);
  EXPECT_FALSE(fu.channels[0].azimuth.has_value());
  EXPECT_TRUE(fu.channels[0].factor_text.empty());
  EXPECT_EQ(fu.station, "STA");
  EXPECT_EQ(fu.start_text, "2020-02-29T01:02:03.400000000Z");
}

TEST(ImportMseed, RateEncodingAndEmptyRefusals) {
  const auto a = ramp(40, 50);  // one 512-byte record: 0.2 s at 200 Hz
  const std::string e1 = pack("HNE", DE_STEIM2, 512, kT0, a);
  std::string e2 = pack("HNE", DE_STEIM2, 512, kT0 + 200000, a);
  ASSERT_EQ(e1.size(), 512u);
  ASSERT_EQ(e2.size(), 512u);
  wi::FileContents fc;
  e2[33] = 100;  // sample rate factor 200 -> 100 (big-endian header)
  wi::Problem p = read(wi::read_mseed, e1 + e2, fc);
  EXPECT_EQ(p.status, wi::Status::malformed);
  EXPECT_EQ(p.text.rfind("the record at byte 512 changes the sample rate of XX.TEST.10.HNE from 200 to 100 Hz", 0), 0u)
      << p.text;

  std::string zero_rate = e1;
  zero_rate[32] = 0, zero_rate[33] = 0;
  EXPECT_EQ(read(wi::read_mseed, zero_rate, fc).text.rfind("the record at byte 0 has sample rate 0", 0), 0u);

  std::string other = e1;  // blockette 1000 follows the 48-byte header: byte 52 is the encoding
  ASSERT_EQ(other[52], DE_STEIM2);
  other[52] = 30;
  p = read(wi::read_mseed, other, fc);
  EXPECT_EQ(p.text.rfind("the record at byte 0 has encoding 30 (", 0), 0u) << p.text;
  EXPECT_NE(p.text.find("), which is not read"), std::string::npos) << p.text;

  std::string text_only = e1;
  text_only[52] = DE_ASCII;
  p = read(wi::read_mseed, text_only + text_only, fc);
  EXPECT_EQ(p.status, wi::Status::malformed);
  EXPECT_EQ(p.text, "no record holds data samples");

  p = read(wi::read_mseed, e1 + std::string(20, '\0'), fc);
  EXPECT_EQ(p.status, wi::Status::truncated);
  EXPECT_EQ(p.text, "20 bytes at byte 512 are too few for a record header");

  wi::FileContents numbered;  // "HN1": neither vertical nor an azimuth from the code
  ASSERT_TRUE(read(wi::read_mseed, text_only + pack("HN1", DE_INT32, 512, kT0, ramp(5, 9)), numbered).ok());
  ASSERT_EQ(numbered.channels.size(), 1u);
  EXPECT_FALSE(numbered.channels[0].vertical);
  EXPECT_FALSE(numbered.channels[0].azimuth.has_value());
  EXPECT_EQ(numbered.start_text, "2020-09-13T12:26:40.250000000Z");
}

TEST(ImportStationXml, RootCodesDirectionsAndZones) {
  wi::FileContents fc;
  wi::Problem p = read(wi::read_stationxml, "<?xml version=\"1.0\"?>\n<quakeml/>\n", fc);
  EXPECT_EQ(p.line, 1u);
  EXPECT_EQ(p.text, "the root element is <quakeml>, not <FDSNStationXML>");

  const std::string no_net = "<FDSNStationXML><Network><Station code=\"S\">\n<Channel code=\"HNZ\"/></Station></Network></FDSNStationXML>";
  p = read(wi::read_stationxml, no_net, fc);
  EXPECT_EQ(p.line, 2u);
  EXPECT_EQ(p.text, "Channel \"HNZ\" lacks a network, station or channel code");

  std::string bad_az = channel_xml("code=\"HNE\"", "1", "G");
  bad_az.replace(bad_az.find(">360<"), 5, ">\n east<");
  p = read(wi::read_stationxml, station_xml("", bad_az), fc);
  EXPECT_EQ(p.line, 5u);  // the Azimuth element's line, not the Channel's
  EXPECT_EQ(p.text, "Channel NZ.WEL..HNE Azimuth \"\n east\" is not a number");

  const std::string none = "<Channel code=\"LOG\"/>\n<Channel code=\"ACE\"/>\n";
  EXPECT_EQ(read(wi::read_stationxml, station_xml("", none), fc).text,
            "2 Channel elements but none gives Response/InstrumentSensitivity/Value");

  std::string west = channel_xml("code=\"HN1\" startDate=\"2020-01-01T00:00:00-05:30\" endDate=\"2020-01-01T00:00:00z\"", "1", "G");
  west.replace(west.find(">360<"), 5, ">-90<");
  wi::FileContents ok;
  ASSERT_TRUE(read(wi::read_stationxml, station_xml("", west), ok).ok());
  EXPECT_EQ(ok.station, "WEL");
  EXPECT_EQ(ok.responses.at(0).azimuth, 270.0);
  EXPECT_EQ(ok.responses[0].start_ns, (1577836800LL + 19800) * 1000000000LL);  // 05:30 behind UTC
  EXPECT_EQ(ok.responses[0].end_ns, 1577836800LL * 1000000000LL);
  for (const char* zone : {"+24:00", "+02:60", "+0200", "Zx", " Z"}) {
    const std::string date = std::string("2020-01-01T00:00:00") + zone;
    p = read(wi::read_stationxml, station_xml("", channel_xml("code=\"HN1\" startDate=\"" + date + "\"", "1", "G")), fc);
    EXPECT_EQ(p.text, "Channel NZ.WEL..HN1 startDate \"" + date + "\" is not an ISO 8601 date-time") << zone;
  }
}
