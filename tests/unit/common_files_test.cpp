// SPDX-License-Identifier: GPL-3.0-or-later
// The tools' shared files, units, HTML escaping and usage errors.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>
#include <string>

#include "common/files.h"
#include "common/html.h"
#include "common/units.h"
#include "common/usage.h"
#include "tests/unit/test_files.h"

namespace wavefft::common {
namespace {

namespace fs = std::filesystem;
using Step = FileFault::Step;

/// A fresh folder for one test, removed afterwards.
class Folder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("common_files_test." + std::to_string(::getpid()) + "." +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  /// The names in the folder, sorted and joined by blanks.
  std::string listing() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : " ") + n;
    return s;
  }
  fs::path dir_;
};

TEST_F(Folder, ReadFileGivesBytesOrTheSystemsReason) {
  const std::string bytes("a\0b\r\n\x1a", 6);
  FileFault fault;
  ASSERT_TRUE(replace_file(dir_ / "f", bytes, fault)) << fault.reason;
  std::string text = "stale";
  ASSERT_TRUE(read_file(dir_ / "f", text, fault));
  EXPECT_EQ(text, bytes);

  EXPECT_FALSE(read_file(dir_ / "missing", text, fault));
  EXPECT_EQ(fault.step, Step::open);
  EXPECT_EQ(fault.reason, "No such file or directory");
  EXPECT_EQ(fault.error, ENOENT);
  EXPECT_FALSE(read_file(dir_, text, fault));
  EXPECT_EQ(fault.reason, "Is a directory");
  EXPECT_EQ(fault.error, EISDIR);
  EXPECT_EQ(fault.step, Step::read);
}

TEST_F(Folder, ReplaceLeavesOnlyTheTargetWithTheUsualMode) {
  FileFault fault;
  ASSERT_TRUE(replace_file(dir_ / "out.csv", "old\n", fault));
  ASSERT_TRUE(replace_file(dir_ / "out.csv", "new\n", fault));
  EXPECT_EQ(wavefft::testing::slurp(dir_ / "out.csv"), "new\n");
  EXPECT_EQ(listing(), "out.csv");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / "out.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST_F(Folder, UncommittedOrFailedReplaceLeavesTheTargetAlone) {
  FileFault fault;
  ASSERT_TRUE(replace_file(dir_ / "out.csv", "kept\n", fault));
  {
    ReplacingFile file(dir_ / "out.csv");
    ASSERT_TRUE(file.open(fault));
    ASSERT_TRUE(file.write("half", fault));
    EXPECT_EQ(file.temporary().parent_path(), dir_);
    EXPECT_EQ(file.temporary().filename().string().rfind(".out.csv.", 0), 0u);
  }  // dropped without commit
  EXPECT_EQ(wavefft::testing::slurp(dir_ / "out.csv"), "kept\n");
  EXPECT_EQ(listing(), "out.csv");

  // Two files both complete before either replaces its target.
  {
    ReplacingFile a(dir_ / "a.csv");
    ReplacingFile b(dir_ / "b.csv");
    ASSERT_TRUE(a.open(fault) && a.write("a\n", fault) && a.finish(fault));
    ASSERT_TRUE(b.open(fault) && b.write("b\n", fault) && b.finish(fault));
    EXPECT_FALSE(fs::exists(dir_ / "a.csv"));
    ASSERT_TRUE(a.commit(fault) && b.commit(fault));
  }
  EXPECT_EQ(wavefft::testing::slurp(dir_ / "a.csv"), "a\n");
  EXPECT_EQ(listing(), "a.csv b.csv out.csv");
  fs::remove(dir_ / "a.csv");
  fs::remove(dir_ / "b.csv");

  // A folder in the target's place: the rename fails, the temporary goes.
  fs::create_directories(dir_ / "taken" / "x");
  EXPECT_FALSE(replace_file(dir_ / "taken", "x", fault));
  EXPECT_EQ(fault.step, Step::replace);
  EXPECT_EQ(listing(), "out.csv taken");

  EXPECT_FALSE(replace_file(dir_ / "no" / "such" / "f", "x", fault));
  EXPECT_EQ(fault.step, Step::create);
  EXPECT_EQ(fault.reason, "No such file or directory");
}

TEST_F(Folder, SeveralFilesReplacedTogetherOrNotAtAll) {
  FileFault fault;
  ASSERT_TRUE(replace_file(dir_ / "a.csv", "old a\n", fault));
  ASSERT_TRUE(replace_file(dir_ / "b.csv", "old b\n", fault));
  fs::create_directories(dir_ / "blocked");
  ASSERT_TRUE(replace_file(dir_ / "blocked" / "x", "x", fault));
  // The second file's folder is a file: nothing is replaced.
  const NewFile bad[] = {{dir_ / "a.csv", "new a\n"}, {dir_ / "blocked" / "x" / "b.csv", "new b\n"}};
  EXPECT_EQ(replace_files(bad, fault, true), 1u);
  EXPECT_EQ(fault.step, Step::folder);
  EXPECT_EQ(wavefft::testing::slurp(dir_ / "a.csv"), "old a\n");
  EXPECT_EQ(listing(), "a.csv b.csv blocked");
  // Without making folders, a missing one is the create step's fault.
  const NewFile missing[] = {{dir_ / "a.csv", "new a\n"}, {dir_ / "new" / "b.csv", "new b\n"}};
  EXPECT_EQ(replace_files(missing, fault, false), 1u);
  EXPECT_EQ(fault.step, Step::create);
  EXPECT_EQ(wavefft::testing::slurp(dir_ / "a.csv"), "old a\n");
  const NewFile good[] = {{dir_ / "a.csv", "new a\n"}, {dir_ / "new" / "b.csv", "new b\n"}};
  EXPECT_EQ(replace_files(good, fault, true), 2u);
  EXPECT_EQ(wavefft::testing::slurp(dir_ / "a.csv"), "new a\n");
  EXPECT_EQ(wavefft::testing::slurp(dir_ / "new" / "b.csv"), "new b\n");
  EXPECT_EQ(listing(), "a.csv b.csv blocked new");
}

// A device or a pipe is written where it is, never renamed over (as root,
// a rename over /dev/null leaves a plain file there); a link to a file is
// followed and stays a link.
TEST_F(Folder, PipesAndLinksAreWrittenThrough) {
  FileFault fault;
  const fs::path pipe = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);  // so that the writer need not wait
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(replace_file(pipe, "through the pipe\n", fault)) << fault.reason;
  char buf[64] = {};
  const ssize_t n = ::read(reader, buf, sizeof buf);
  ::close(reader);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0))), "through the pipe\n");
  struct stat st {};
  ASSERT_EQ(::stat(pipe.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  ASSERT_TRUE(replace_file(dir_ / "target.csv", "old\n", fault));
  fs::create_symlink("target.csv", dir_ / "link.csv");
  ASSERT_TRUE(replace_file(dir_ / "link.csv", "new\n", fault)) << fault.reason;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.csv"));
  EXPECT_EQ(wavefft::testing::slurp(dir_ / "target.csv"), "new\n");
  EXPECT_EQ(listing(), "link.csv pipe target.csv");
}

TEST_F(Folder, ParentFoldersAreMadeOrTheReasonGiven) {
  FileFault fault;
  ASSERT_TRUE(make_parent_folders(dir_ / "a" / "b" / "f.csv", fault));
  EXPECT_TRUE(fs::is_directory(dir_ / "a" / "b"));
  EXPECT_TRUE(make_parent_folders("f.csv", fault));  // no folder part
  ASSERT_TRUE(replace_file(dir_ / "plain", "x", fault));
  EXPECT_FALSE(make_parent_folders(dir_ / "plain" / "sub" / "f.csv", fault));
  EXPECT_EQ(fault.step, Step::folder);
  EXPECT_EQ(fault.reason, "Not a directory");
  // A folder in place already; a file where the folder should be.
  EXPECT_TRUE(make_folders(dir_ / "a", fault));
  fault = {};
  EXPECT_FALSE(make_folders(dir_ / "plain", fault));
  EXPECT_EQ(fault.step, Step::folder);
  EXPECT_EQ(fault.error, ENOTDIR);
}

TEST(Units, WordsAndExactRatios) {
  for (Unit u : {Unit::g, Unit::gal, Unit::m_s2, Unit::mm_s2}) {
    EXPECT_TRUE(is_acceleration(u));
    EXPECT_EQ(parse_acceleration_unit(unit_word(u)), u);
  }
  for (const char* word : {"none", "counts", "G", "Gal", "m/s2", ""}) {
    EXPECT_FALSE(parse_acceleration_unit(word).has_value()) << word;
  }
  EXPECT_FALSE(is_acceleration(Unit::counts));
  // One operation with one correctly rounded factor: 1 g is 980.665 gal
  // exactly as the literal, and back by a division.
  EXPECT_EQ(convert_unit(1.0, Unit::g, Unit::gal), 980.665);
  EXPECT_EQ(convert_unit(980.665, Unit::gal, Unit::g), 1.0);
  EXPECT_EQ(convert_unit(3.0, Unit::g, Unit::mm_s2), 3.0 * 9806.65);
  EXPECT_EQ(convert_unit(3.0, Unit::mm_s2, Unit::gal), 3.0 / 10.0);
  // Every pair: the two directions are one multiply and one divide by the
  // same factor, consistent with metres_per_s2.
  const Unit all[] = {Unit::g, Unit::gal, Unit::m_s2, Unit::mm_s2};
  for (Unit a : all) {
    for (Unit b : all) {
      const UnitRatio there = unit_ratio(a, b);
      const UnitRatio back = unit_ratio(b, a);
      EXPECT_EQ(there.factor, back.factor);
      if (a == b) continue;
      EXPECT_NE(there.multiply, back.multiply);
      EXPECT_EQ(there.multiply, metres_per_s2(a) > metres_per_s2(b));
      const double ratio = there.multiply ? metres_per_s2(a) / metres_per_s2(b) : metres_per_s2(b) / metres_per_s2(a);
      EXPECT_NEAR(there.factor, ratio, 1e-12 * ratio);
    }
  }
}

TEST(Html, EveryMarkupCharacterIsAnEntity) {
  EXPECT_EQ(escape_html("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &#39;d&#39;&gt;");
  EXPECT_EQ(escape_html("plain \xc3\xa9"), "plain \xc3\xa9");
}

TEST(Usage, ReasonSynopsisHint) {
  ::testing::internal::CaptureStderr();
  const int status = usage_error("wavefft-x", "unknown option '--bogus'\nsecond", "Usage: wavefft-x FILE");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "wavefft-x: unknown option '--bogus' second\n"
            "Usage: wavefft-x FILE\n"
            "Try 'wavefft-x --help' for more information.\n");
  EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace wavefft::common
