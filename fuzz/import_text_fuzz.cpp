// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the text layouts of wavefft-import on arbitrary bytes, then
// assembly and the writer on whatever they read.
//
// Input: the low 7 bits of the first byte pick a text reader (their value
// modulo the number of text layouts in kFormats, in table order, SAC,
// miniSEED and StationXML left out); its bit 0x80 selects --pad; the rest
// is the file. The file is read twice, as one file and as the same file
// given twice, so that assembly meets both one file with its own channels
// and channels of equal names from two files.
//
// Checks, besides the sanitizers:
//  - detection never crashes, on the whole input and on the file;
//  - a reader that fails says so with a status other than ok and words;
//  - a reader that succeeds hands on channels whose dt is a number and whose
//    samples are finite (every text reader refuses what it cannot read as a
//    finite number);
//  - an assembly that succeeds has three components of one length, a finite
//    positive dt, and the writer's text has exactly that many rows plus the
//    two header lines, each row with 43 blank-separated fields.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "import/assemble.h"
#include "import/formats.h"
#include "import/writer.h"

namespace {

namespace wi = wavefft::import;

void check(bool ok) {
  if (!ok) std::abort();
}

bool is_text_layout(const wi::Format& f) {
  return f.read != wi::read_sac && f.read != wi::read_mseed && f.read != wi::read_stationxml;
}

void check_contents(const wi::FileContents& fc) {
  for (const wi::Channel& c : fc.channels) {
    check(!std::isnan(c.dt));
    for (double v : c.values) check(std::isfinite(v));
  }
}

void check_record(const wi::Record& rec) {
  const std::size_t n = rec.components[0].values.size();
  check(rec.components[1].values.size() == n && rec.components[2].values.size() == n);
  check(std::isfinite(rec.dt) && rec.dt > 0.0);
  std::string text;
  wi::write_record(rec, text);
  std::size_t lines = 0, blanks = 0;
  for (char ch : text) {
    if (ch == ' ') ++blanks;
    if (ch == '\n') {
      ++lines;
      // every line holds 43 blank-separated words: TIME and 42 titles, or
      // the time and 42 values (line 1 holds 4)
      check(lines == 1 ? blanks == 3 : blanks == 42);
      blanks = 0;
    }
  }
  check(lines == n + 2);
  check(!text.empty() && text.back() == '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::vector<const wi::Format*> text;
  for (std::size_t i = 0; i < wi::kFormatCount; ++i) {
    if (is_text_layout(wi::kFormats[i])) text.push_back(&wi::kFormats[i]);
  }
  const wi::Format& format = *text[(data[0] & 0x7F) % text.size()];
  const bool pad = (data[0] & 0x80) != 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  (void)wi::detect_format(std::string_view(reinterpret_cast<const char*>(data), size));
  (void)wi::detect_format(bytes);
  (void)format.detect(bytes.substr(0, std::min(bytes.size(), wi::kDetectBytes)));

  wi::FileContents fc;
  const wi::Problem p = format.read(bytes, "fuzz.txt", fc);
  if (!p.ok()) {
    check(!p.text.empty());
    return 0;
  }
  check_contents(fc);

  wi::AssembleOptions options;
  options.source_unit = wi::Unit::g;
  options.zero_vertical = true;
  options.pad = pad;
  for (int copies = 1; copies <= 2; ++copies) {
    std::vector<wi::FileContents> files(static_cast<std::size_t>(copies), fc);
    wi::Record rec;
    const wi::Problem a = wi::assemble(files, options, rec);
    if (a.ok()) {
      check_record(rec);
    } else {
      check(!a.text.empty());
    }
  }
  return 0;
}
