// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the SAC reader of wavefft-import on arbitrary bytes.
//
// Checks, besides the sanitizers:
//  - the file read as it is and the same file with every header and sample
//    word byte-reversed (the text fields at bytes 440..631 left alone) give
//    the same outcome: the same status and words, the same channel; the two
//    byte orders are one layout;
//  - a success holds one channel whose samples are finite, NPTS of them,
//    with a finite positive dt, and the detector accepts the file's head;
//  - a failure has a status other than ok and words that say what is wrong.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "import/formats.h"

namespace {

namespace wi = wavefft::import;

std::string reversed_words(std::string_view bytes) {
  std::string b(bytes);
  for (std::size_t at = 0; at + 4 <= b.size(); at += 4) {
    if (at >= 440 && at < 632) continue;
    std::swap(b[at], b[at + 3]);
    std::swap(b[at + 1], b[at + 2]);
  }
  return b;
}

void check(bool ok) {
  if (!ok) std::abort();
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  wi::FileContents a;
  wi::FileContents b;
  const wi::Problem pa = wi::read_sac(bytes, "f.sac", a);
  const wi::Problem pb = wi::read_sac(reversed_words(bytes), "f.sac", b);
  check(pa.status == pb.status && pa.text == pb.text);
  if (!pa.ok()) {
    check(!pa.text.empty() && pa.file == "f.sac");
    return 0;
  }
  check(wi::is_sac(bytes.substr(0, wi::kDetectBytes)));
  check(a.channels.size() == 1 && b.channels.size() == 1);
  const wi::Channel& ca = a.channels[0];
  const wi::Channel& cb = b.channels[0];
  check(std::isfinite(ca.dt) && ca.dt > 0.0 && same_bits(ca.dt, cb.dt));
  check(ca.values.size() == (size - 632) / 4 && ca.values.size() == cb.values.size());
  for (std::size_t i = 0; i < ca.values.size(); ++i) {
    check(std::isfinite(ca.values[i]) && same_bits(ca.values[i], cb.values[i]));
  }
  check(ca.name == cb.name && ca.seed_id == cb.seed_id && ca.start_ns == cb.start_ns);
  check(ca.vertical == cb.vertical && ca.azimuth == cb.azimuth);
  if (ca.azimuth) check(*ca.azimuth >= 0.0 && *ca.azimuth < 360.0);
  return 0;
}
