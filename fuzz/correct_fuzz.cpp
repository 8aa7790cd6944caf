// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: wavefft-correct's readers on arbitrary bytes.
//
// The first byte picks what is read (modulo 3); the rest is its input:
//   0  the command line: the bytes split at NUL into words, read by
//      parse_arguments;
//   1  a record file: parse_record, then, for an input layout with an
//      acceleration unit, at most 2048 samples and a step of at least 1 ms,
//      the settings of the second byte and a whole correction;
//   2  a summary: parse_summary.
//
// Checks, besides the sanitizers: parsed arguments hold a RECORD unless they
// were refused; a correction keeps the record's length, gives finite values
// for finite input of moderate size, a high-pass corner above 0, and a
// record written back in the input layout that reads back to the same
// numbers; an accepted summary written again reads back to the same values.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "correct/arguments.h"
#include "correct/correct.h"
#include "correct/summary.h"
#include "records/layout_writer.h"
#include "records/record.h"

namespace {

namespace wc = wavefft::correct;
namespace wr = wavefft::records;

void check(bool ok) {
  if (!ok) std::abort();
}

void arguments(std::string_view bytes) {
  std::vector<std::string_view> words;
  for (std::size_t start = 0; start <= bytes.size();) {
    const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
    words.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  const wc::ParsedArguments p = wc::parse_arguments(words);
  if (!p.usage && !p.refusal) check(!p.arguments.record.empty() || words.size() > 0);
}

// Settings from one byte: corners given or auto, the baseline, the onset.
wc::Settings settings_of(unsigned char b, double dt, std::size_t n) {
  wc::Settings s;
  if (b & 1) s.highpass = 0.05 + 0.1 * (b >> 5);
  if (b & 2) s.lowpass = 1.0 + static_cast<double>(b >> 4);
  if (b & 4) s.no_lowpass = !s.lowpass;
  s.baseline = (b & 8) == 0;
  if (b & 16) s.onset_s = static_cast<double>(n / 2) * dt;
  s.order = 1 + (b >> 6);
  return s;
}

bool moderate(const wr::RecordFile& r) {
  for (const auto& c : r.comp) {
    for (double v : c) {
      if (!(std::fabs(v) < 1e100)) return false;
    }
  }
  return r.dt < 1e6;
}

void correct_one(const wr::RecordFile& r, unsigned char b) {
  const std::size_t n = r.comp[0].size();
  wc::Settings s = settings_of(b, r.dt, n);
  if (!wc::check_settings(s, n, r.dt).empty()) return;
  const wc::Correction c = wc::correct_record({r.comp[0], r.comp[1], r.comp[2]}, r.dt, s);
  bool finite = true;
  for (std::size_t k = 0; k < 3; ++k) {
    check(c.corrected[k].size() == n);
    check(c.components[k].highpass_hz > 0.0);
    for (double v : c.corrected[k]) finite = finite && std::isfinite(v);
  }
  if (moderate(r)) check(finite);
  if (!finite) return;
  const wr::RecordFile back = wr::parse_record(wr::layout_text(r, c.corrected), "back");
  for (std::size_t k = 0; k < 3; ++k) check(back.comp[k] == c.corrected[k]);
}

void record(std::string_view bytes) {
  if (bytes.empty()) return;
  const auto b = static_cast<unsigned char>(bytes[0]);
  wr::RecordFile r;
  try {
    r = wr::parse_record(bytes.substr(1), "fuzz");
  } catch (const wr::RecordError&) {
    return;
  }
  if (r.kind != wr::RecordFile::Kind::input_layout || !r.unit) return;
  if (r.comp[0].size() > 2048 || !(r.dt >= 1e-3)) return;
  correct_one(r, b);
}

void summary(std::string_view bytes) {
  wc::Summary s;
  try {
    s = wc::parse_summary(bytes, "fuzz");
  } catch (const wc::SummaryError&) {
    return;
  }
  const wc::Summary again = wc::parse_summary(wc::summary_json(s), "again");
  check(again.onset_s == s.onset_s && again.noise_s == s.noise_s);
  for (std::size_t k = 0; k < 3; ++k) {
    check(again.components[k].highpass_hz == s.components[k].highpass_hz);
    check(again.components[k].flags.size() == s.components[k].flags.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: arguments(rest); break;
    case 1: record(rest); break;
    default: summary(rest); break;
  }
  return 0;
}
