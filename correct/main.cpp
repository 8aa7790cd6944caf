// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft-correct: corrects a raw three-component acceleration record (the
// pre-event mean, a taper, an acausal Butterworth band-pass with corners
// from the signal-to-noise ratio, a polynomial baseline) and writes it in
// the same input layout, with a JSON summary of what was done. The steps:
// read the arguments, read the record, settle the settings, correct, write
// the record and the summary (to temporary names, renamed when complete).
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/files.h"
#include "common/numbers.h"
#include "common/units.h"
#include "common/usage.h"
#include "correct/arguments.h"
#include "correct/correct.h"
#include "correct/values.h"
#include "records/layout_writer.h"
#include "correct/summary.h"
#include "records/record.h"

namespace {

namespace common = wavefft::common;
namespace wc = wavefft::correct;
namespace wr = wavefft::records;

constexpr const char* kTool = "wavefft-correct";

// A refusal of the record or of the output (status 1).
using Refusal = common::ToolStop;

// The record, its unit settled: --unit U over the fourth header word, which
// then becomes U in the corrected record's header too.
wr::RecordFile read_record(const wc::Arguments& args) {
  const std::string& path = args.record;
  wr::RecordFile rec;
  try {
    rec = wr::read_record_file(path);
  } catch (const wr::RecordError& e) {
    throw Refusal{e.what()};
  }
  if (rec.kind != wr::RecordFile::Kind::input_layout) {
    throw Refusal{path + ": a waveform file; wavefft-correct reads the program's input layout (as wavefft-import writes it)"};
  }
  if (args.unit) {
    rec.unit = common::parse_acceleration_unit(*args.unit);
    if (!rec.unit) throw Refusal{"--unit: unknown unit \"" + *args.unit + "\" (use g, gal, m_s2 or mm_s2)"};
    static constexpr const char* kFill[] = {"unknown", "unknown", "acceleration"};
    for (std::size_t k = rec.header_words.size(); k < 3; ++k) rec.header_words.emplace_back(kFill[k]);
    rec.header_words.resize(std::max<std::size_t>(rec.header_words.size(), 4));
    rec.header_words[3] = *args.unit;
  }
  if (!rec.unit) {
    const std::string word = rec.header_words.size() > 3 ? rec.header_words[3] : "";
    throw Refusal{path + ": the fourth header word \"" + word +
                  "\" is not an acceleration unit (g, gal, m_s2 or mm_s2); give the unit with --unit"};
  }
  return rec;
}

// The record to OUT and the summary, renamed together once both are
// complete; without -o the record goes to standard output first, so that a
// closed pipe leaves no summary behind either.
void write_outputs(const wc::Arguments& args, const std::string& record, const std::string& summary) {
  if (!args.out && (std::fwrite(record.data(), 1, record.size(), stdout) != record.size() || std::fflush(stdout) != 0)) {
    throw Refusal{std::string("standard output: cannot write: ") + std::strerror(errno)};
  }
  std::vector<common::NewFile> files;
  if (args.out) files.push_back({*args.out, record});
  if (args.summary) files.push_back({*args.summary, summary});
  common::FileFault fault;
  const std::size_t failed = common::replace_files(files, fault, true);  // missing folders made
  if (failed != files.size()) throw Refusal{files[failed].path.string() + ": cannot write: " + fault.reason};
}

int run(const wc::Arguments& args) {
  wr::RecordFile rec = read_record(args);
  wc::Correction c;
  try {
    c = wc::correct_values({rec.comp[0], rec.comp[1], rec.comp[2]}, rec.dt, *rec.unit, args.settings, args.record);
  } catch (const wc::Refusal& e) {
    throw Refusal{e.what()};
  }
  const std::string record = wr::layout_text(rec, c.corrected);
  const std::string summary = wc::summary_json(wc::summarise(c, rec.titles, common::unit_word(*rec.unit)));
  write_outputs(args, record, summary);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return common::tool_main(argc, argv, kTool, wc::kHelp, [](std::span<const std::string_view> words) {
    const wc::ParsedArguments parsed = wc::parse_arguments(words);
    if (parsed.usage) throw common::ToolStop{*parsed.usage, true};
    if (parsed.refusal) throw Refusal{*parsed.refusal};
    return run(parsed.arguments);
  });
}
