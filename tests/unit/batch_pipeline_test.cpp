// wavefft-batch's own logic without the programs it runs: which form a
// command line takes, the record header and console lines it reads, how a
// run's ending is classified, the numbers picked from the measures' files,
// the progress line, and how arguments become records.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "batch/catalogue.h"
#include "batch/pipeline.h"

namespace fs = std::filesystem;
using namespace wavefft::batch;

namespace {

std::string data_line(std::size_t fields, char sep = ' ') {
  std::string line = "0.010";
  for (std::size_t k = 1; k < fields; ++k) line += std::string(1, sep) + "1.5";
  return line;
}

}  // namespace

TEST(BatchForm, RecordLayoutNeeds43FieldsOnOneLine) {
  EXPECT_TRUE(looks_like_record("ev st acceleration g\nTIME A B\n" + data_line(43) + "\n"));
  EXPECT_FALSE(looks_like_record("ev st acceleration g\nTIME A B\n" + data_line(42) + "\n"));
  // Commas and runs of blanks separate fields too; empty fields do not count.
  EXPECT_TRUE(looks_like_record(data_line(43, ',')));
  EXPECT_FALSE(looks_like_record(data_line(22, ',') + ",,,,,,,,,,,,,,,,,,,,,,"));
  // 42 fields on each of two lines are not 84 on one.
  EXPECT_FALSE(looks_like_record(data_line(42) + "\n" + data_line(42)));
  EXPECT_FALSE(looks_like_record("0\n1\n0.1 0.2 20 25\n1\n0\n1\nvel.csv\n\n"));
}

TEST(BatchForm, AnswerFileFormOnlyWithoutOptionsAndWithARecordAfter) {
  EXPECT_EQ(choose_form(false, false, 2, FirstArg::other_file), Form::answers);
  EXPECT_EQ(choose_form(false, false, 5, FirstArg::missing), Form::answers);
  EXPECT_EQ(choose_form(false, false, 2, FirstArg::record), Form::records);
  EXPECT_EQ(choose_form(false, false, 2, FirstArg::folder), Form::records);
  EXPECT_EQ(choose_form(false, false, 1, FirstArg::other_file), Form::records);
  EXPECT_EQ(choose_form(true, false, 2, FirstArg::other_file), Form::records);
  EXPECT_EQ(choose_form(false, true, 2, FirstArg::other_file), Form::records);
}

TEST(BatchHeader, FreeFormItemsWithQuotes) {
  EXPECT_EQ(free_form_items("a, b  'c d',\"e,f\" 'it''s'", 10),
            (std::vector<std::string>{"a", "b", "c d", "e,f", "it's"}));
  EXPECT_EQ(free_form_items("a b c d e", 3), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(free_form_items(" ,\n ", 4).empty());
}

TEST(BatchHeader, WordsAndComponentTitles) {
  std::string title = "TIME N00E N90E";
  for (int k = 3; k <= 10; ++k) title += " V" + std::to_string(k);
  title += " UP V12";
  const Header h = read_header("Quake2026 STA1 acceleration gal\n" + title + "\n" + data_line(43) + "\n");
  EXPECT_EQ(h.event, "Quake2026");
  EXPECT_EQ(h.station, "STA1");
  EXPECT_EQ(h.unit, "gal");
  EXPECT_EQ(h.components, "N00E N90E UP");

  // Words over two lines, quoted, comma-separated: the titles are on the
  // line after the fourth word.
  const Header q = read_header("'Big Quake',\"STA 2\"\nacceleration g\n" + title + "\n");
  EXPECT_EQ(q.event, "Big Quake");
  EXPECT_EQ(q.station, "STA 2");
  EXPECT_EQ(q.unit, "g");
  EXPECT_EQ(q.components, "N00E N90E UP");

  const Header s = read_header("ev st acceleration g\nTIME A B C\n");
  EXPECT_EQ(s.components, "");
  const Header t = read_header("ev st");
  EXPECT_EQ(t.station, "st");
  EXPECT_EQ(t.unit, "");
}

TEST(BatchHeader, KnownUnits) {
  EXPECT_EQ(known_unit("mm_s2"), "mm_s2");
  EXPECT_EQ(known_unit("g"), "g");
  EXPECT_EQ(known_unit("G"), "");
  EXPECT_EQ(known_unit("counts"), "");
}

TEST(BatchConsole, NtAndDtAndTheProductsOfThem) {
  const auto v = parse_nt_dt(" NT and DT= 6800  0.01");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->nt, "6800");
  EXPECT_EQ(v->dt, "0.01");
  EXPECT_FALSE(parse_nt_dt(" NT and DT= 6800").has_value());
  EXPECT_FALSE(parse_nt_dt(" NT=6800").has_value());
  EXPECT_EQ(parse_nt_dt(" NT and DT= 12 1.000000000000000E-02")->dt, "1.000000000000000E-02");

  // Products in doubles, shortest round-trip text.
  EXPECT_EQ(duration_text({"6800", "0.01"}), "68");
  EXPECT_EQ(duration_text({"3", "0.1"}), "0.30000000000000004");
  EXPECT_EQ(duration_text({"x", "0.1"}), "");
  EXPECT_EQ(thinned_step("0.01", "1"), "0.02");
  EXPECT_EQ(thinned_step("0.1", "2"), "0.30000000000000004");
  EXPECT_EQ(thinned_step("0.005", "0"), "0.005");
  EXPECT_EQ(thinned_step("0.01", "x"), "");
  EXPECT_EQ(thinned_step("0.01", "-1"), "");
  EXPECT_EQ(thinned_step("1e308", "9"), "");
  EXPECT_EQ(thinned_step("0.01", "+"), "");
  EXPECT_EQ(thinned_step("0.01", "+-1"), "");
}

// Every K that --skip accepts gives the thinned step the measures are run
// with: a '+' before K once made the record "measures-failed".
TEST(BatchConsole, ThinnedStepOfEveryAcceptedSkip) {
  for (const char* k : {"1", "+1", "+01", "007", "+2147483646"}) {
    const char* const argv[] = {"--skip", k};
    int i = 0;
    wavefft::cli::ProcessingOptions opts;
    std::string error;
    ASSERT_EQ(wavefft::cli::take_option(2, argv, i, opts, error), wavefft::cli::Take::taken) << k << ": " << error;
    EXPECT_NE(thinned_step("0.01", opts.skip), "") << k;
  }
  EXPECT_EQ(thinned_step("0.01", "+1"), "0.02");
  EXPECT_EQ(thinned_step("0.005", "+007"), "0.04");
}

TEST(BatchConsole, HowARunEnded) {
  const Ending normal = classify(0, " press Enter", "a note", false);
  EXPECT_EQ(normal.status, "normal");
  EXPECT_EQ(normal.diagnostic, "a note");
  const Ending stopped = classify(0, "  NT>2**17 !!!!!", "a note", false);
  EXPECT_EQ(stopped.status, "stopped-too-long");
  EXPECT_EQ(stopped.diagnostic, "");
  // An abort after a diagnostic is a diagnostic, not a signal.
  const Ending diag = classify(134, "", "invalid number: incomprehensible list input", true);
  EXPECT_EQ(diag.status, "diagnostic");
  EXPECT_EQ(diag.diagnostic, "invalid number: incomprehensible list input");
  const Ending killed = classify(137, "", "", false);
  EXPECT_EQ(killed.status, "signal");
  EXPECT_EQ(killed.diagnostic, "signal 9");
  EXPECT_EQ(classify(1, "", "Killed", false).status, "signal");
  EXPECT_EQ(classify(1, "", "Floating Exception", false).status, "signal");
  const Ending err = classify(2, "", "wavefft: unknown option --x", false);
  EXPECT_EQ(err.status, "error");
  EXPECT_EQ(err.diagnostic, "wavefft: unknown option --x");
  EXPECT_EQ(classify(127, "", "", false).status, "error");

  EXPECT_TRUE(is_lately_io_line("lately reading sequential formatted external IO"));
  EXPECT_TRUE(is_lately_io_line("lately writing sequential formatted external IO\r"));
  EXPECT_FALSE(is_lately_io_line("lately reading"));
  EXPECT_FALSE(is_lately_io_line("not lately reading external IO"));
}

TEST(BatchNumbers, LargerHorizontalTextCopied) {
  Picked p;
  pick_measures(
      "measure,unit,comp1,comp2,comp3\n"
      "pga,g,0.5e-2,0.004,9\n"
      "pgv,cm/s,1.25,3.0000,99\n"
      "pgd,cm,7,8,9\n",
      p);
  EXPECT_EQ(p.pga, "0.5e-2");
  EXPECT_EQ(p.pgv, "3.0000");
  // Columns found by name, whatever their order; an empty field loses.
  Picked q;
  pick_measures("measure,unit,comp3,comp2,comp1\npga,g,9,,0.1\n", q);
  EXPECT_EQ(q.pga, "0.1");

  Picked s;
  pick_spectra(
      "period_s,damping,comp1,comp2,comp3,rotd50,rotd100\n"
      "0.2,0.02,5,5,5,5,5\n"
      "0.2,0.05,0.31,0.32,0.1,0.3,0.33\n"
      "0.25,0.05,9,9,9,9,9\n"
      "1.0,0.05,0.21,0.2,0.1,0.205,0.22\n"
      "1,0.02,8,8,8,8,8\n",
      s);
  EXPECT_EQ(s.psa_02, "0.32");
  EXPECT_EQ(s.psa_10, "0.21");
  EXPECT_EQ(s.rotd50_10, "0.205");
  Picked none;
  pick_spectra("period_s,damping,comp1,comp2\n0.3,0.05,1,2\n", none);
  EXPECT_EQ(none.psa_02, "");
  EXPECT_EQ(none.rotd50_10, "");
}

TEST(BatchProgress, LineAndClock) {
  EXPECT_EQ(clock_text(42), "0:42");
  EXPECT_EQ(clock_text(90), "1:30");
  EXPECT_EQ(clock_text(3725), "1:02:05");
  EXPECT_EQ(clock_text(-5), "0:00");
  EXPECT_EQ(progress_line(0, 64, 0, 3.2), "wavefft-batch: 0/64 done, 0 failed, 0:03 elapsed");
  // 42 s for 12 records: 52 more take about 182 s.
  EXPECT_EQ(progress_line(12, 64, 1, 42.0), "wavefft-batch: 12/64 done, 1 failed, 0:42 elapsed, about 3:02 left");
  EXPECT_EQ(progress_line(64, 64, 2, 61.0), "wavefft-batch: 64/64 done, 2 failed, 1:01 elapsed");
  EXPECT_EQ(progress_line(1, 2, 0, 1e300), "wavefft-batch: 1/2 done, 0 failed, 277777777:46:40 elapsed, about 277777777:46:40 left");
}

TEST(BatchProgress, TallySortedByStatusAndFieldsOnOneLine) {
  EXPECT_EQ(tally({"normal", "missing", "normal", "diagnostic"}), "1 diagnostic\n1 missing\n2 normal\n");
  EXPECT_EQ(one_line("a\tb\nc\rd"), "a b c d");
}

class BatchArguments : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("batch-args-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "downloads" / "B");
    fs::create_directories(dir_ / "downloads" / "A");
    fs::create_directories(dir_ / "downloads" / ".cache");
    fs::create_directories(dir_ / "agency");
    write(dir_ / "agency" / "X.AT2", "not a record\n");
    fs::create_directories(dir_ / "agency" / "sub");
    write(dir_ / "rec.txt", "ev st acceleration g\nTIME\n" + data_line(43) + "\n");
    write(dir_ / "notes.txt", "0\n1\n");
  }
  void TearDown() override { fs::remove_all(dir_); }
  static void write(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }
  std::string at(const char* rel) const { return (dir_ / rel).string(); }
  fs::path dir_;
};

TEST_F(BatchArguments, FilesFoldersDownloadsAndMissing) {
  std::string error;
  const auto jobs = expand_arguments({at("rec.txt"), at("agency/"), at("downloads"), at("gone.txt")}, error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(jobs.size(), 5u);
  EXPECT_EQ(jobs[0].kind, Job::Kind::file);
  EXPECT_EQ(jobs[0].name, "rec.txt");
  // A folder with a file is one record, even with a subfolder.
  EXPECT_EQ(jobs[1].kind, Job::Kind::folder);
  EXPECT_EQ(jobs[1].name, "agency");
  EXPECT_EQ(jobs[1].record, at("agency"));
  // Only subfolders: one record each, sorted, the hidden one left out.
  EXPECT_EQ(jobs[2].name, "A");
  EXPECT_EQ(jobs[2].record, at("downloads") + "/A");
  EXPECT_EQ(jobs[3].name, "B");
  EXPECT_EQ(jobs[4].kind, Job::Kind::missing);
  EXPECT_EQ(jobs[4].name, "gone.txt");
}

TEST_F(BatchArguments, RefusedBeforeAnythingRuns) {
  std::string error;
  EXPECT_TRUE(expand_arguments({at("rec.txt"), at("notes.txt")}, error).empty());
  EXPECT_NE(error.find("notes.txt"), std::string::npos);
  error.clear();
  // downloads/A and a folder A elsewhere would share OUTDIR/A.
  fs::create_directories(dir_ / "other" / "A");
  EXPECT_TRUE(expand_arguments({at("downloads"), at("other/A")}, error).empty());
  EXPECT_NE(error.find("same name"), std::string::npos);
}

TEST(BatchNames, FolderNameOfAnArgument) {
  EXPECT_EQ(record_name("records/quake.txt"), "quake.txt");
  EXPECT_EQ(record_name("raw/knet/CHB002///"), "CHB002");
  EXPECT_EQ(record_name("x"), "x");
  EXPECT_EQ(record_name("."), fs::current_path().filename().string());
}

TEST(BatchRunAll, EveryRecordOnceUnlessStopped) {
  std::atomic<int> stop{0};
  std::vector<std::atomic<int>> hits(50);
  std::atomic<int> finished{0};
  const auto ran = run_all(
      hits.size(), 3, [&](std::size_t k) { hits[k].fetch_add(1); }, [&](std::size_t) { finished.fetch_add(1); }, stop);
  for (std::size_t k = 0; k < hits.size(); ++k) {
    EXPECT_EQ(hits[k].load(), 1) << k;
    EXPECT_TRUE(ran[k]);
  }
  EXPECT_EQ(finished.load(), 50);

  // Stopped after the fifth record on one thread: the rest never start.
  std::atomic<int> count{0};
  const auto part = run_all(
      10, 1,
      [&](std::size_t) {
        if (count.fetch_add(1) == 4) stop.store(15);
      },
      [](std::size_t) {}, stop);
  EXPECT_EQ(count.load(), 5);
  EXPECT_TRUE(part[4]);
  EXPECT_FALSE(part[5]);
}
