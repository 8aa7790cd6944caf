// SPDX-License-Identifier: GPL-3.0-or-later
// How wavefft-batch takes its records: which form a command line takes,
// how arguments become records and their folders, the unit of the
// measures, and the workers that run them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "batch/catalogue.h"

namespace fs = std::filesystem;
using namespace wavefft::batch;

TEST(BatchCatalogue, AnswerFileFormOnlyWithoutOptionsAndWithARecordAfter) {
  EXPECT_EQ(choose_form(false, false, 2, FirstArg::other_file), Form::answers);
  EXPECT_EQ(choose_form(false, false, 5, FirstArg::missing), Form::answers);
  EXPECT_EQ(choose_form(false, false, 2, FirstArg::record), Form::records);
  EXPECT_EQ(choose_form(false, false, 2, FirstArg::folder), Form::records);
  EXPECT_EQ(choose_form(false, false, 1, FirstArg::other_file), Form::records);
  EXPECT_EQ(choose_form(true, false, 2, FirstArg::other_file), Form::records);
  EXPECT_EQ(choose_form(false, true, 2, FirstArg::other_file), Form::records);
}

TEST(BatchCatalogue, UnitOfTheMeasures) {
  EXPECT_EQ(measures_unit("", "mm_s2"), "mm_s2");
  EXPECT_EQ(measures_unit("", "gal"), "gal");
  EXPECT_EQ(measures_unit("g", "volts"), "g");  // --unit wins
  for (const char* word : {"G", "counts", "none", "gal ", ""}) EXPECT_EQ(measures_unit("", word), "") << word;
}

// --output may not name a file the batch keeps in a record's folder: the
// steps' files, the correction's among them, and wavefft's own.
TEST(BatchCatalogue, FilesOfARecordsFolder) {
  for (const char* name : {"record.txt", "corrected.txt", "correct.json", "correct.stdout", "correct.stderr",
                           "correct.status", "wavefft.status", "fas.csv", "amp3.csv", "fort.99", ".wavefft-record"}) {
    EXPECT_TRUE(is_folder_file(name)) << name;
  }
  for (const char* name : {"wave.csv", "corrected.csv", "correct", "record.txt ", "", "CORRECTED.TXT"}) {
    EXPECT_FALSE(is_folder_file(name)) << name;
  }
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
    std::string line = "0.010";
    for (int k = 1; k < 43; ++k) line += " 1.5";
    write(dir_ / "rec.txt", "ev st acceleration g\nTIME\n" + line + "\n");
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
