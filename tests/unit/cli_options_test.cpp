// SPDX-License-Identifier: GPL-3.0-or-later
// The processing options of wavefft: what is refused and why, the two value
// forms, and the console input the options stand for.

#include "cli/options.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "textio/freeform.h"
#include "tests/unit/offer_arguments.h"
#include "textio/instream.h"

namespace wavefft::cli {
namespace {

using Parsed = testing::OfferedArguments<ProcessingOptions>;
const testing::OptionOffers<ProcessingOptions> kOffers(take_option);
Parsed parse(std::initializer_list<const char*> args) { return kOffers.parse(args); }
void expect_refused(std::initializer_list<const char*> args, const std::string& message) {
  kOffers.expect_refused(args, message);
}

std::string shortest(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

TEST(CliOptions, ListsTakeCommasBlanksOrBoth) {
  // A quoted argument may hold blanks: "0.1, 0.2, 20, 25" and "1 3" are
  // the lists 0.1,0.2,20,25 and 1,3; the items reach the dialogue as typed.
  const Parsed p = parse({"--bandpass", " 0.1, 0.2 ,20  25 ", "--flip", "1 3", "--cut=0,\t1.5", "--skip", "+2"});
  ASSERT_EQ(p.last, Take::taken) << p.error;
  ASSERT_TRUE(p.opts.bandpass.has_value());
  EXPECT_EQ(*p.opts.bandpass, (std::array<std::string, 4>{"0.1", "0.2", "20", "25"}));
  EXPECT_EQ(p.opts.flip, (std::array<bool, 3>{true, false, true}));
  ASSERT_TRUE(p.opts.cut.has_value());
  EXPECT_EQ(*p.opts.cut, (std::array<std::string, 2>{"0", "1.5"}));
  EXPECT_EQ(p.opts.skip, "+2");
}

TEST(CliOptions, RefusesBadListsAndNumbers) {
  const std::string flip = " is not a list of components from 1, 2, 3 (such as 1,3)";
  for (const char* v : {"", "4", "0", "1,", ",1", "1,,2", "12", "1;2"}) {
    expect_refused({"--flip", v}, "--flip: '" + std::string(v) + "'" + flip);
  }
  expect_refused({"--bandpass", "1,2,3"}, "--bandpass: '1,2,3' is not four numbers fL1,fL2,fH1,fH2");
  expect_refused({"--bandpass", "1,2,3,4,5"}, "--bandpass: '1,2,3,4,5' is not four numbers fL1,fL2,fH1,fH2");
  // Forms the free-form reader takes otherwise (repeat, sign-only exponent,
  // slash, blank) or not at all.
  for (const char* v : {"2*3", "1.5-3", "1/2", "", ".", "e5", "5e", "1e+", "0x10", "nan", "inf", "1e100000000"}) {
    expect_refused({"--cut", (std::string("0,") + v).c_str()}, "--cut: '" + std::string(v) + "' is not a number");
  }
  expect_refused({"--bandpass=1e400,1e401,1e402,1e403"}, "--bandpass: '1e400' is beyond the range of numbers");
  expect_refused({"--bandpass", "-0.1,0.2,20,25"}, "--bandpass: '-0.1,0.2,20,25': the corners must be 0 or more");
  for (const char* v : {"0.2,0.1,20,25", "0.1,0.2,25,20", "0.1,30,20,25"}) {
    expect_refused({"--bandpass", v},
                   "--bandpass: '" + std::string(v) + "': the corners must not decrease (fL1 <= fL2 <= fH1 <= fH2)");
  }
  expect_refused({"--cut", "1"}, "--cut: '1' is not two numbers START,DURATION");
  expect_refused({"--cut", "1,-0.01"}, "--cut: '1,-0.01': the duration must be 0 or more");
  for (const char* v : {"x", "-1", "+", "1.0", "1e2", "", "2147483647", "99999999999999999999999"}) {
    expect_refused({"--skip", v}, "--skip: '" + std::string(v) + "' is not a whole number from 0 to 2147483646");
  }
}

TEST(CliOptions, RefusesNamesRepeatsAndMissingValues) {
  expect_refused({"--output", ""}, "--output: '' is empty");
  expect_refused({"--output", std::string(91, 'a').c_str()}, "--output: '" + std::string(91, 'a') + "' is longer than 90 characters");
  expect_refused({"--output", "a.csv "}, "--output: 'a.csv ' ends in a blank");
  expect_refused({"--output", "a\nb"}, "--output: 'a\\x0ab' holds a line end");
  expect_refused({"--output", "a\rb"}, "--output: 'a\\x0db' holds a line end");
  expect_refused({"--integrate", "--differentiate"},
                 "--differentiate: only one of --integrate, --double-integrate, --differentiate may be given");
  expect_refused({"--double-integrate", "--integrate"},
                 "--integrate: only one of --integrate, --double-integrate, --differentiate may be given");
  expect_refused({"--skip", "1", "--skip=1"}, "--skip: given twice");
  expect_refused({"--output", "a", "--output", "b"}, "--output: given twice");
  expect_refused({"--flip", "1", "--flip", "2"}, "--flip: given twice");
  expect_refused({"--integrate", "--integrate"}, "--integrate: given twice");
  expect_refused({"--skip"}, "--skip: needs a value");
  expect_refused({"--integrate=1"}, "--integrate: takes no value");
  EXPECT_EQ(typeable_name_problem(std::string_view("a\0b", 3)), "holds a NUL byte");
  EXPECT_EQ(typeable_name_problem(std::string(90, 'x')), "");
  EXPECT_EQ(typeable_name_problem(" leading.txt"), "");
  EXPECT_EQ(typeable_name_problem("tab\t"), "ends in a blank");
}

TEST(CliOptions, ValueFormsAndWhatIsNotAnOption) {
  Parsed p = parse({"--skip=3", "--cut", "-0.05,1", "--output=x=y.csv", "--flip", "3,1,3", "rec.txt"});
  EXPECT_EQ(p.last, Take::not_mine);
  EXPECT_EQ(p.stopped_at, 7);  // the record, after four options and two values
  EXPECT_EQ(p.opts.skip, "3");
  EXPECT_EQ(p.opts.output, "x=y.csv");
  EXPECT_EQ(p.opts.flip, (std::array<bool, 3>{true, false, true}));
  ASSERT_TRUE(p.opts.cut);
  EXPECT_EQ((*p.opts.cut)[0], "-0.05");
  EXPECT_TRUE(p.opts.any);
  // A value that starts with '-' is still the value.
  p = parse({"--output", "--skip"});
  EXPECT_EQ(p.last, Take::taken);
  EXPECT_EQ(p.opts.output, "--skip");
  for (const char* arg : {"--", "-", "--bogus", "--skipx=1", "--help", "rec.txt"}) {
    p = parse({arg, "--skip", "1"});
    EXPECT_EQ(p.last, Take::not_mine) << arg;
    EXPECT_EQ(p.stopped_at, 1) << arg;
    EXPECT_FALSE(p.opts.any) << arg;
  }
  // Edge values that are accepted.
  p = parse({"--skip", "2147483646", "--bandpass", "-0,0,5,5", "--cut", "0,0", "--flip", "1,2,3"});
  EXPECT_EQ(p.last, Take::taken) << p.error;
  p = parse({"--bandpass", ".5,5.,+5e0,5.D+0", "--cut", "1d400000,0"});
  EXPECT_EQ(p.last, Take::error);  // the corners pass; the start is infinite
  EXPECT_EQ(p.error, "--cut: '1d400000' is beyond the range of numbers");
}

// The double the dialogue's reader stores for `text` typed as one value
// followed by another; nothing when the text is not one value there.
std::optional<double> dialogue_double(const std::string& text) {
  textio::MemoryInStream in(text + " 9\n", 64);
  double v = -1.0, after = -1.0;
  textio::Dest dests[] = {textio::dest(v), textio::dest(after)};
  if (!textio::read_list(in, dests).ok() || after != 9.0) return std::nullopt;
  return v;
}

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// A corner is compared as the double the dialogue's reader makes of its
// text: "0,X,R,R" passes and "0,X,P,P" fails, where R is that double and P
// the next one below it. Texts past 40 significant digits and at the edges
// of the double range included.
TEST(CliOptions, NumbersAreTheReadersDoubles) {
  // 1 + 2^-53 is halfway between 1 and the next double; the digit "1" far
  // behind it would round up, but the reader keeps 40 digits and gets 1.
  const std::string halfway_plus = "1.000000000000000111022302462515654042363166809082031250001";
  for (const std::string& x : {halfway_plus, std::string("0.1"), std::string("1e-400"), std::string("4.9e-324"),
                              std::string("2.4703282292062328e-324"), std::string("1.7976931348623157e308"),
                              std::string("0.000000000000000000000000000000000000000000000000123456789012345678901234567890123456789012345"),
                              std::string("123456789012345678901234567890123456789012345678901234567890"), std::string("7.D-3"),
                              std::string("-0.0"), std::string("+.5e+0")}) {
    const std::optional<double> read = dialogue_double(x);
    ASSERT_TRUE(read.has_value()) << x;
    const double v = *read;
    // The text reader the options use gives the very same double.
    const std::optional<double> whole = textio::read_number_text(x);
    ASSERT_TRUE(whole.has_value()) << x;
    EXPECT_TRUE(same_bits(*whole, v)) << x;
    Parsed p = parse({"--bandpass", ("0," + x + "," + shortest(v) + "," + shortest(v)).c_str()});
    EXPECT_EQ(p.last, Take::taken) << x << ": " << p.error;
    if (v > 0.0) {
      const std::string below = shortest(std::nextafter(v, 0.0));
      p = parse({"--bandpass", ("0," + x + "," + below + "," + below).c_str()});
      EXPECT_EQ(p.last, Take::error) << x;
    }
  }
}

// read_number_text takes one whole value as the dialogue's reader does,
// the forms the options refuse included ("1.5-3"), and nothing else.
TEST(CliOptions, WholeTextNumbersOfTheReader) {
  ASSERT_TRUE(textio::read_number_text("1.5-3").has_value());
  EXPECT_TRUE(same_bits(*textio::read_number_text("1.5-3"), *dialogue_double("1.5-3")));
  EXPECT_TRUE(same_bits(*textio::read_number_text("1e99999999"), std::numeric_limits<double>::infinity()));
  EXPECT_TRUE(same_bits(*textio::read_number_text("-1e-99999999"), -0.0));
  for (const char* x : {"", " ", "1 ", " 1", "1,", ",", "/", "2*5", "1*5", "*5", "+", "-", ".", "e5", "5e", "1e+",
                        "1.5x", "1e100000000", "1\n", "1\r", "'1'"}) {
    EXPECT_FALSE(textio::read_number_text(x).has_value()) << x;
  }
}

TEST(CliOptions, AnswerScriptFollowsTheDialogueOrder) {
  EXPECT_EQ(answer_script("rec.txt", ProcessingOptions{}), "rec.txt\n0\n0\n0\n0\n0\nwave.csv\n\n");
  Parsed p = parse({"--flip", "2", "--bandpass", "0.1,0.2,20,25", "--integrate", "--skip", "1", "--output", "vel.csv"});
  EXPECT_EQ(answer_script("wave.txt", p.opts), "wave.txt\n1\n0\n1\n0\n1\n0.1 0.2 20 25\n1\n0\n1\nvel.csv\n\n");
  p = parse({"--cut=-0.05,1", "--differentiate", "--output", " lead.csv", "--flip", "1,3"});
  EXPECT_EQ(answer_script(" a b.txt", p.opts), " a b.txt\n1\n1\n0\n1\n0\n3\n1\n-0.05\n1\n0\n lead.csv\n\n");
  p = parse({"--double-integrate", "--skip", "007", "--bandpass", "1e-1,2.5D-1,1.5E1,2d1"});
  EXPECT_EQ(answer_script("r", p.opts), "r\n0\n1\n1e-1 2.5D-1 1.5E1 2d1\n2\n0\n007\nwave.csv\n\n");
}

// The checks that look at the file system, run in a scratch folder that is
// the current folder, holding rec.txt ("x\n") and the folder sub.
class CliOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::filesystem::current_path();
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / ("wavefft-cli-" + std::string(test->name()) + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "sub");
    std::filesystem::current_path(dir_);
    std::ofstream("rec.txt") << "x\n";
  }
  void TearDown() override {
    std::filesystem::current_path(home_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path home_, dir_;
};

TEST_F(CliOnDisk, OutputMayNotBeTheRunsOtherFiles) {
  std::filesystem::create_hard_link("rec.txt", "sub/hard.txt");
  for (const std::string& out : std::vector<std::string>{"amp3.csv", "./amp3.csv", "sub/../amp3.csv", "fort.99", (dir_ / "fort.99").string()}) {
    EXPECT_NE(output_clash(out, "rec.txt"), "") << out;
  }
  EXPECT_EQ(output_clash("amp3.csv", "rec.txt"), "names amp3.csv, which the run writes itself");
  EXPECT_EQ(output_clash("rec.txt", "rec.txt"), "is the record itself");
  EXPECT_EQ(output_clash("./rec.txt", "rec.txt"), "is the record itself");
  EXPECT_EQ(output_clash("sub/hard.txt", (dir_ / "rec.txt").string()), "is the record itself");
  for (const char* out : {"sub/amp3.csv", "amp3.csv.bak", "fort.990", "new.csv", "missing/rec.txt"}) {
    EXPECT_EQ(output_clash(out, "rec.txt"), "") << out;
  }
}

// record_problem and output_folder_problem, each reason word for word.
TEST_F(CliOnDisk, RecordAndOutputFolder) {
  namespace fs = std::filesystem;
  fs::create_symlink("gone.txt", "dangling.txt");
  fs::create_symlink("sub", "sublink");
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);

  const std::pair<const char*, const char*> kRecords[] = {
      {"rec.txt", ""}, {"pipe", ""},  // a pipe is not opened: that would wait for a writer
      {"missing.txt", "does not exist"}, {"dangling.txt", "does not exist"}, {"rec.txt/x", "does not exist"},
      {"sub", "is a folder"}, {"sublink", "is a folder"}, {".", "is a folder"}};
  for (const auto& [name, why] : kRecords) EXPECT_EQ(record_problem(name), why) << name;
  EXPECT_EQ(record_problem((dir_ / "rec.txt").string()), "");
  if (::geteuid() != 0) {  // permissions do not bind the superuser
    fs::permissions("rec.txt", fs::perms::none);
    EXPECT_EQ(record_problem("rec.txt"), "cannot be read: Permission denied");
  }

  for (const char* out : {"w.csv", "sub/w.csv", "sublink/w.csv", "./w.csv", "/w.csv", "sub/../w.csv", "sub/ lead.csv",
                          "sub//w.csv"}) {
    EXPECT_EQ(output_folder_problem(out), "") << out;
  }
  const std::pair<const char*, const char*> kOutputs[] = {
      {"nodir/w.csv", "is in the folder 'nodir', which does not exist"},
      {"sub/nodir/w.csv", "is in the folder 'sub/nodir', which does not exist"},
      {"nodir/../w.csv", "is in the folder 'nodir/..', which does not exist"},
      {"dangling.txt/w.csv", "is in the folder 'dangling.txt', which does not exist"},
      {"rec.txt/w.csv", "is in 'rec.txt', which is not a folder"},
      {"pipe/w.csv", "is in 'pipe', which is not a folder"},
      {"sub", "is a folder"},
      {"sublink", "is a folder"}};
  for (const auto& [out, why] : kOutputs) EXPECT_EQ(output_folder_problem(out), why) << out;
  EXPECT_EQ(output_folder_problem("no\tdir/w.csv"), "is in the folder 'no\\x09dir', which does not exist");
}

}  // namespace
}  // namespace wavefft::cli
