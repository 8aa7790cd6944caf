// SPDX-License-Identifier: GPL-3.0-or-later
// The import step of wavefft-batch: the import options it takes and hands
// on, and what it keeps of an import's standard error.
#include "batch/import_step.h"
#include "tests/unit/offer_arguments.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace wavefft::batch {
namespace {

// The import options as wavefft-batch's main offers them.
const testing::OptionOffers<ImportOptions> kImport(take_import_option);

TEST(BatchImportStep, BothValueFormsAndFlags) {
  auto p = kImport.parse({"--zero-vertical", "--source-unit", "g", "--channels=HNE, HNN,HNZ", "--pad", "--level", "raw", "rec"});
  EXPECT_EQ(p.last, cli::Take::not_mine);
  EXPECT_EQ(p.stopped_at, 8);  // the record, after both values taken as the next argument
  EXPECT_TRUE(p.opts.zero_vertical);
  EXPECT_TRUE(p.opts.pad);
  EXPECT_EQ(p.opts.source_unit, "g");
  EXPECT_EQ(p.opts.channels, "HNE, HNN,HNZ");
  EXPECT_EQ(p.opts.level, "raw");
  EXPECT_EQ(import_arguments(p.opts, "gal"),
            (std::vector<std::string>{"--unit", "gal", "--zero-vertical", "--source-unit", "g", "--channels",
                                      "HNE, HNN,HNZ", "--pad", "--level", "raw"}));

  p = kImport.parse({"--level=corrected", "--source-unit=mm_s2"});
  EXPECT_EQ(p.opts.level, "corrected");
  EXPECT_EQ(p.opts.source_unit, "mm_s2");
  EXPECT_EQ(import_arguments(p.opts, ""),
            (std::vector<std::string>{"--source-unit", "mm_s2", "--level", "corrected"}));
  EXPECT_TRUE(import_arguments(ImportOptions{}, "").empty());
  EXPECT_EQ(import_arguments(ImportOptions{}, "m_s2"), (std::vector<std::string>{"--unit", "m_s2"}));
}

TEST(BatchImportStep, OtherArgumentsAreNotTaken) {
  // The batch's own options, the processing options, near misses.
  for (const char* arg : {"--unit", "--skip", "--padding", "--zero", "-z", "--", "rec.txt", "--LEVEL"}) {
    const auto p = kImport.parse({arg, "g"});
    EXPECT_EQ(p.last, cli::Take::not_mine) << arg;
    EXPECT_EQ(p.stopped_at, 1) << arg;
    EXPECT_EQ(p.opts.seen, 0u) << arg;
  }
}

TEST(BatchImportStep, RefusedValuesWordForWord) {
  kImport.expect_refused({"--source-unit", "counts"}, "--source-unit: 'counts' is not one of g, gal, m_s2, mm_s2");
  kImport.expect_refused({"--source-unit=G"}, "--source-unit: 'G' is not one of g, gal, m_s2, mm_s2");
  kImport.expect_refused({"--source-unit="}, "--source-unit: '' is not one of g, gal, m_s2, mm_s2");
  kImport.expect_refused({"--level", "final"}, "--level: 'final' is not raw or corrected");
  kImport.expect_refused({"--level=Raw"}, "--level: 'Raw' is not raw or corrected");
  kImport.expect_refused({"--channels", ", ,"}, "--channels: ', ,' names no channel");
  kImport.expect_refused({"--channels="}, "--channels: '' names no channel");
  kImport.expect_refused({"--channels", "a\nb", "--channels", "x"}, "--channels: given twice");
  kImport.expect_refused({"--pad=yes"}, "--pad: takes no value");
  kImport.expect_refused({"--zero-vertical="}, "--zero-vertical: takes no value");
  kImport.expect_refused({"--level"}, "--level: needs a value");
  kImport.expect_refused({"--pad", "--zero-vertical", "--pad"}, "--pad: given twice");
  kImport.expect_refused({"--level", "raw", "--level=raw"}, "--level: given twice");
  kImport.expect_refused({"--source-unit", "bad\tunit"}, "--source-unit: 'bad\\x09unit' is not one of g, gal, m_s2, mm_s2");
  // A refusal leaves the option as it was.
  const auto p = kImport.parse({"--level", "raw", "--level", "x"});
  EXPECT_EQ(p.opts.level, "raw");
  EXPECT_EQ(p.stopped_at, 3);
}

TEST(BatchImportStep, WarningsOfASuccessfulImport) {
  const ImportStderr said = read_import_stderr(
      "wavefft-import: skipped /d/readme.txt: not a record layout that wavefft-import reads\n"
      "wavefft-import: note: the peaks of the two horizontals differ by a factor of 10\r\n"
      "\n"
      "note: no vertical component: value 11 is zero throughout (--zero-vertical)\n"
      "wavefft-import: something else\n"
      "no prefix at all",
      true);
  EXPECT_EQ(said.warnings,
            (std::vector<std::string>{"import: skipped /d/readme.txt: not a record layout that wavefft-import reads",
                                      "import: the peaks of the two horizontals differ by a factor of 10",
                                      "import: no vertical component: value 11 is zero throughout (--zero-vertical)",
                                      "import: something else", "import: no prefix at all"}));
  EXPECT_EQ(said.diagnostic, "");
  EXPECT_TRUE(read_import_stderr("", true).warnings.empty());
  EXPECT_TRUE(read_import_stderr("\n\r\n", true).warnings.empty());
  // Lines of carriage returns alone say nothing, after a failure either.
  EXPECT_TRUE(read_import_stderr("\r\r\n\r\r", true).warnings.empty());
  EXPECT_EQ(read_import_stderr("\r\r\n\r\r", false).diagnostic, "");
}

TEST(BatchImportStep, DiagnosticOfAFailedImport) {
  // The first line that is no note, as written; the notes before it stay warnings.
  ImportStderr said = read_import_stderr(
      "wavefft-import: note: dropped the first 2 samples of HNE\n"
      "wavefft-import: out/record.txt: cannot write: No space left on device\n"
      "wavefft-import: a second diagnostic\n",
      false);
  EXPECT_EQ(said.diagnostic, "wavefft-import: out/record.txt: cannot write: No space left on device");
  EXPECT_EQ(said.warnings, (std::vector<std::string>{"import: dropped the first 2 samples of HNE"}));

  said = read_import_stderr(
      "wavefft-import: skipped d/a.txt: not a record layout that wavefft-import reads\n"
      "wavefft-import: d: no record files in this folder\n",
      false);
  EXPECT_EQ(said.diagnostic, "wavefft-import: d: no record files in this folder");
  EXPECT_EQ(said.warnings,
            (std::vector<std::string>{"import: skipped d/a.txt: not a record layout that wavefft-import reads"}));

  // Notes only (a program that ended without its reason): the first line.
  said = read_import_stderr("\nwavefft-import: note: x\n", false);
  EXPECT_EQ(said.diagnostic, "wavefft-import: note: x");
  EXPECT_EQ(said.warnings, (std::vector<std::string>{"import: x"}));
  said = read_import_stderr("", false);
  EXPECT_EQ(said.diagnostic, "");
  EXPECT_TRUE(said.warnings.empty());
}

}  // namespace
}  // namespace wavefft::batch
