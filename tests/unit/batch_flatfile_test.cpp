// SPDX-License-Identifier: GPL-3.0-or-later
// The flatfile's lines, the shards of a catalogue and a record's completion
// file: the parts the end-to-end test (tests/batch/flatfile_test.sh) does
// not reach on its few records.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "batch/flatfile.h"
#include "batch/resume.h"
#include "batch/shard.h"
#include "common/text.h"
#include "tests/unit/test_files.h"

namespace wb = wavefft::batch;

namespace {

std::vector<std::string_view> cells(std::string_view line) { return wavefft::common::split_at(line, ','); }

std::size_t column(std::string_view name) {
  const auto head = cells(wb::flatfile_header());
  for (std::size_t k = 0; k < head.size(); ++k) {
    if (head[k] == name) return k;
  }
  ADD_FAILURE() << "no column " << name;
  return 0;
}

}  // namespace

TEST(Flatfile, CellsComeFromTheFilesByNameNotPosition) {
  // Columns in another order than wavefft-measures writes them, a row at
  // another damping, and a period the flatfile does not list.
  const std::string measures = "unit,measure,comp3,comp2,comp1,rotd50\ng,pga,3,2,1,1.5\nm/s,arias,6,5,4,\n";
  const std::string spectra =
      "period_s,damping,comp1,comp2,comp3,rotd50,rotd100\n1,0.02,9,9,9,9,9\n1,0.05,1,2,3,4,5\n0.0123,0.05,7,7,7,7,7\n";
  const std::string fas = "frequency_hz,comp1,comp2,comp3,eas\n0.01,1,1,1,0.25\n100,1,1,1,\n";
  wb::FlatRecord r;
  r.record = "a,b \"c\"";
  r.titles = {"N", "E", "Z"};
  const std::string line = wb::flatfile_line(r, measures, spectra, fas);
  EXPECT_EQ(line.substr(0, 14), "\"a,b \"\"c\"\"\",,,");
  EXPECT_EQ(wb::flatfile_record(line), r.record);
  // Quoting aside, every line has the header's columns.
  const std::string plain = wb::flatfile_line(wb::FlatRecord{}, measures, spectra, fas);
  const auto c = cells(plain);
  ASSERT_EQ(c.size(), wb::flatfile_columns());
  EXPECT_EQ(wb::flatfile_columns(), 19u + 24u + 5u * 111u + 401u);
  EXPECT_EQ(c[column("pga_h1_g")], "1");
  EXPECT_EQ(c[column("pga_v_g")], "3");
  EXPECT_EQ(c[column("pga_rotd50_g")], "1.5");
  EXPECT_EQ(c[column("arias_h2_m_s")], "5");
  EXPECT_EQ(c[column("pgv_h1_cm_s")], "") << "a row the file lacks is empty";
  EXPECT_EQ(c[column("psa_rotd50_T1.000S_g")], "4");
  EXPECT_EQ(c[column("psa_rotd100_T1.000S_g")], "5");
  EXPECT_EQ(c[column("psa_v_T1.000S_g")], "3");
  EXPECT_EQ(c[column("psa_h1_T0.010S_g")], "");
  EXPECT_EQ(c[column("eas_f0.0100Hz_g_s")], "0.25");
  EXPECT_EQ(c[column("eas_f100.0000Hz_g_s")], "") << "an empty smoothed value stays empty";
}

TEST(Flatfile, APeriodOrFrequencyThatIsNoNumberMatchesNothing) {
  const std::string spectra = "period_s,damping,comp1,comp2,comp3,rotd50,rotd100\n1,0.05,1,2,3,4,5\n";
  const std::string fas = "frequency_hz,comp1,comp2,comp3,eas\n1,1,1,1,0.5\n";
  const std::string nan_spectra = "period_s,damping,comp1,comp2,comp3,rotd50,rotd100\nnan,0.05,9,9,9,9,9\n1,0.05,1,2,3,4,5\n";
  const std::string nan_fas = "frequency_hz,comp1,comp2,comp3,eas\nnan,1,1,1,9\n1,1,1,1,0.5\n";
  EXPECT_EQ(wb::flatfile_line(wb::FlatRecord{}, "", nan_spectra, nan_fas),
            wb::flatfile_line(wb::FlatRecord{}, "", spectra, fas));
}

TEST(Flatfile, CellsAreOneLineAndQuotedOnlyWhenNeeded) {
  EXPECT_EQ(wb::csv_cell("0.25"), "0.25");
  EXPECT_EQ(wb::csv_cell("a\tb\nc"), "a b c");
  EXPECT_EQ(wb::csv_cell(" lead"), "\" lead\"");
  EXPECT_EQ(wb::csv_cell("say \"x\""), "\"say \"\"x\"\"\"");
  EXPECT_THROW(wb::flatfile_rows("record,event\n1,2\n", "f.csv"), std::runtime_error);
  EXPECT_THROW(wb::flatfile_rows("", "f.csv"), std::runtime_error);
  const auto rows = wb::flatfile_rows(wb::flatfile_header() + "\r\nx,1\ny,2\n", "f.csv");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], "y,2");
}

TEST(Shard, EveryRecordInExactlyOneShardByItsSortedRank) {
  const std::vector<std::string> names = {"e", "a", "d", "b", "c", "f", "g"};
  for (std::size_t n = 1; n <= 8; ++n) {
    std::multiset<std::size_t> all;
    for (std::size_t i = 0; i < n; ++i) {
      const auto mine = wb::shard_positions(names, {i, n});
      EXPECT_TRUE(std::is_sorted(mine.begin(), mine.end())) << "positions keep the order given";
      for (const std::size_t p : mine) all.insert(p);
    }
    EXPECT_EQ(all.size(), names.size()) << n << " shards";
    EXPECT_EQ(std::set<std::size_t>(all.begin(), all.end()).size(), names.size()) << n << " shards";
  }
  // Sorted: a b c d e f g -> ranks 0, 3, 6 are a, d, g at positions 1, 2, 6.
  EXPECT_EQ(wb::shard_positions(names, {0, 3}), (std::vector<std::size_t>{1, 2, 6}));
}

TEST(Shard, TextParsedStrictly) {
  std::string error;
  const auto s = wb::parse_shard("2/5", error);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->index, 2u);
  EXPECT_EQ(s->count, 5u);
  for (const char* bad : {"5/5", "0/0", "1", "/", "1/", "/2", "+1/2", "1/2/3", "1.0/2", "-1/2", "1/1000001", "99999999/100000000"}) {
    EXPECT_FALSE(wb::parse_shard(bad, error)) << bad;
    EXPECT_NE(error.find("--shard"), std::string::npos) << bad;
  }
}

TEST(Shard, JoinOrderOnlyForTheShardsOfOneCatalogue) {
  const wb::ShardFile a{{0, 2}, 4, {0, 2}}, b{{1, 2}, 4, {1, 3}};
  const auto order = wb::shard_order({b, a}, {2, 2});
  ASSERT_TRUE(order);
  EXPECT_EQ(*order, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 0}, {0, 0}, {1, 1}, {0, 1}}));
  EXPECT_FALSE(wb::shard_order({a, a}, {2, 2})) << "a position twice";
  EXPECT_FALSE(wb::shard_order({a, std::nullopt}, {2, 1})) << "a batch that is no shard";
  EXPECT_FALSE(wb::shard_order({a, b}, {2, 3})) << "a summary with more rows than its shard file";
  EXPECT_FALSE(wb::shard_order({a, wb::ShardFile{{1, 3}, 4, {1}}}, {2, 1})) << "another N";
  // shard.txt written and read back; a damaged one is no shard.
  wavefft::testing::TempDir dir("shard");
  std::ofstream(dir.path() / wb::kShardFile) << wb::shard_text(b);
  const auto back = wb::read_shard_file(dir.path());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->positions, b.positions);
  std::ofstream(dir.path() / wb::kShardFile) << wb::shard_text(b) << "7\n";  // beyond the 4 records
  EXPECT_FALSE(wb::read_shard_file(dir.path()));
}

TEST(Resume, AFolderIsCompleteOnlyAsItWasLeft) {
  wavefft::testing::TempDir dir("resume");
  const auto& f = dir.path();
  std::ofstream(f / "measures.csv") << "measure\n";
  std::ofstream(f / "report.html") << "<p>";
  wb::Outcome done;
  done.row.record = "in/rec\t1.txt";
  done.row.status = "normal";
  done.row.warnings = "Edge transients";
  done.flat = "in/rec 1.txt,1,2";
  ASSERT_TRUE(wb::write_done(f, done, "options --skip 1", {"measures.csv", "report.html", "fas.csv", "../x"}));

  const auto back = wb::read_done(f, "in/rec\t1.txt", "options --skip 1");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->row.record, "in/rec 1.txt");
  EXPECT_EQ(back->row.warnings, done.row.warnings);
  EXPECT_EQ(back->flat, done.flat);
  EXPECT_FALSE(wb::read_done(f, "in/rec\t1.txt", "options --skip 2")) << "other settings";
  EXPECT_FALSE(wb::read_done(f, "in/other.txt", "options --skip 1")) << "another record";
  std::ofstream(f / "report.html") << "<p>cut short";
  EXPECT_FALSE(wb::read_done(f, "in/rec\t1.txt", "options --skip 1")) << "a file changed size";
  std::ofstream(f / "report.html") << "<p>";
  std::filesystem::remove(f / "measures.csv");
  EXPECT_FALSE(wb::read_done(f, "in/rec\t1.txt", "options --skip 1")) << "a file gone";
}
