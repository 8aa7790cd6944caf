// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the miniSEED and StationXML readers of wavefft-import on
// arbitrary bytes. Byte 0 picks the reader (even: miniSEED, odd:
// StationXML); the rest is the file.
//
// Checks, besides the sanitizers:
//  - a failure has a status other than ok and words that say what is wrong;
//  - a miniSEED success holds channels with a seed_id, a start, a finite
//    positive dt and finite samples, in raw counts, numbered in order; the
//    detector accepts the file's head;
//  - a StationXML success holds response epochs with a seed_id of four
//    parts and a finite non-zero sensitivity.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/formats.h"

namespace {

namespace wi = wavefft::import;

void check(bool ok) {
  if (!ok) std::abort();
}

std::size_t dots(const std::string& s) {
  std::size_t n = 0;
  for (const char c : s) n += c == '.' ? 1 : 0;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  wi::FileContents out;
  if (data[0] % 2 == 0) {
    const wi::Problem p = wi::read_mseed(bytes, "f.mseed", out);
    if (!p.ok()) {
      check(!p.text.empty() && p.file == "f.mseed");
      return 0;
    }
    check(wi::is_mseed(bytes.substr(0, wi::kDetectBytes)));
    check(!out.channels.empty());
    for (std::size_t k = 0; k < out.channels.size(); ++k) {
      const wi::Channel& ch = out.channels[k];
      check(ch.order == k && ch.unit == wi::Unit::counts && dots(ch.seed_id) >= 3);
      check(ch.start_ns.has_value() && std::isfinite(ch.dt) && ch.dt > 0.0 && !ch.values.empty());
      for (const double v : ch.values) check(std::isfinite(v));
    }
  } else {
    const wi::Problem p = wi::read_stationxml(bytes, "f.xml", out);
    if (!p.ok()) {
      check(!p.text.empty() && p.file == "f.xml");
      return 0;
    }
    check(!out.responses.empty());
    for (const wi::ResponseEpoch& e : out.responses) {
      check(dots(e.seed_id) >= 3 && std::isfinite(e.sensitivity) && e.sensitivity != 0.0);
      if (e.azimuth) check(*e.azimuth >= 0.0 && *e.azimuth < 360.0);
    }
  }
  return 0;
}
