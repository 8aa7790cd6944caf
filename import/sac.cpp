// SPDX-License-Identifier: GPL-3.0-or-later
// SAC binary files: a 632-byte header, then NPTS float32 samples, in either
// byte order (the whole file shares one order).
//
// Header layout (word = 4 bytes): words 0..69 float32, 70..109 int32, then
// from byte 440 the text fields, 8 bytes each except KEVNM (16). The words
// and fields this reader uses:
//   DELTA 0, B 5, CMPAZ 57, CMPINC 58,
//   NZYEAR 70, NZJDAY 71, NZHOUR 72, NZMIN 73, NZSEC 74, NZMSEC 75,
//   NVHDR 76 (must be 6), NPTS 79, IFTYPE 85 (1: time series), LEVEN 105,
//   KSTNM @440, KEVNM @448 (16), KHOLE @464, KCMPNM @600, KNETWK @608.
// The undefined value is -12345 (float and int) and "-12345" (text).
//
// Choices:
// - The values are the samples as stored, converted to double (lossless);
//   SAC states no unit, so the channel's unit is Unit::none and the command's
//   --source-unit supplies it. A vertical that still holds 1 g of gravity
//   keeps it.
// - CMPINC 0 (up) and 180 (down) make the channel vertical; a down-pointing
//   channel keeps its values as stored (no sign flip) and factor_text says
//   "CMPINC 180: positive down". CMPINC undefined: vertical when the
//   component name ends in Z. Horizontals take CMPAZ (undefined: none),
//   reduced to [0, 360).
// - The start is NZYEAR..NZMSEC + B, to the nearest ns of the float B; any of
//   those seven undefined: no start.
// - The file must hold exactly 632 + 4 * NPTS bytes: fewer is truncated,
//   more is malformed (a wrong NPTS or an unevenly spaced second array).
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "common/numbers.h"
#include "import/calendar.h"
#include "import/formats.h"
#include "import/lines.h"
#include "import/orientation.h"

namespace wavefft::import {
namespace {

using text::fail;

constexpr std::size_t kHeaderBytes = 632;
constexpr std::int32_t kUndefinedInt = -12345;
constexpr float kUndefinedFloat = -12345.0f;

/// Reads the header words and text fields of a SAC file in its byte order.
class SacHeader {
 public:
  SacHeader(std::string_view bytes, bool swap) : bytes_(bytes), swap_(swap) {}

  std::uint32_t raw(std::size_t word) const {
    unsigned char b[4];
    std::memcpy(b, bytes_.data() + 4 * word, 4);
    // little-endian bytes 01 02 03 04 -> 0x04030201; swapped: 0x01020304
    if (swap_) return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
    return (std::uint32_t{b[3]} << 24) | (std::uint32_t{b[2]} << 16) | (std::uint32_t{b[1]} << 8) | b[0];
  }
  std::int32_t integer(std::size_t word) const {
    const std::uint32_t u = raw(word);
    std::int32_t v = 0;
    std::memcpy(&v, &u, 4);
    return v;
  }
  float real(std::size_t word) const {
    const std::uint32_t u = raw(word);
    float v = 0.0f;
    std::memcpy(&v, &u, 4);
    return v;
  }
  /// A text field: cut at the first NUL, blanks trimmed, "-12345" -> "".
  std::string text(std::size_t offset, std::size_t width) const {
    std::string_view s = bytes_.substr(offset, width);
    const std::size_t nul = s.find('\0');
    if (nul != std::string_view::npos) s = s.substr(0, nul);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s == "-12345") return {};
    return std::string(s);
  }

 private:
  std::string_view bytes_;
  bool swap_;
};

/// Which byte order makes NVHDR (word 76) read 6; nullopt when neither does.
/// Needs at least 320 bytes.
std::optional<bool> sac_swap(std::string_view head) {
  if (head.size() < 320) return std::nullopt;
  if (SacHeader(head, false).integer(76) == 6) return false;
  if (SacHeader(head, true).integer(76) == 6) return true;
  return std::nullopt;
}

/// A header float in a message, as printed with nine significant digits:
/// 0.01f -> "0.00999999978", -12345 -> "-12345".
std::string float_text(float v) { return common::significant(static_cast<double>(v), 9); }

/// The start from NZYEAR..NZMSEC and B, or nullopt with `error` empty when a
/// field is undefined; `error` names a field out of range.
std::optional<std::int64_t> sac_start(const SacHeader& h, std::string& error) {
  static const char* const kNames[6] = {"NZYEAR", "NZJDAY", "NZHOUR", "NZMIN", "NZSEC", "NZMSEC"};
  std::int32_t f[6];
  for (std::size_t i = 0; i < 6; ++i) {
    f[i] = h.integer(70 + i);
    if (f[i] == kUndefinedInt) return std::nullopt;
  }
  const float b = h.real(5);
  if (b == kUndefinedFloat) return std::nullopt;
  const std::int32_t year = f[0];
  const std::int32_t limits[6] = {9999, calendar::is_leap(year) ? 366 : 365, 23, 59, 60, 999};
  const std::int32_t lows[6] = {1, 1, 0, 0, 0, 0};
  for (std::size_t i = 0; i < 6; ++i) {
    if (f[i] < lows[i] || f[i] > limits[i]) {
      error = std::string(kNames[i]) + " " + std::to_string(f[i]) + " is out of range " + std::to_string(lows[i]) +
              ".." + std::to_string(limits[i]);
      return std::nullopt;
    }
  }
  // B in s, to the nearest ns; |B| up to 1e9 s (about 31 years) is accepted.
  if (!std::isfinite(b) || std::fabs(static_cast<double>(b)) > 1e9) {
    error = "B " + float_text(b) + " is not a usable begin time";
    return std::nullopt;
  }
  const auto b_ns = static_cast<std::int64_t>(std::llround(static_cast<double>(b) * 1e9));
  const std::int64_t days = calendar::days_from_civil(year, 1, 1) + (f[1] - 1);
  const std::int64_t seconds = std::int64_t{f[2]} * 3600 + std::int64_t{f[3]} * 60 + f[4];
  const auto base = calendar::checked_ns(days, seconds, std::int64_t{f[5]} * 1000000);
  std::int64_t start = 0;
  if (!base || __builtin_add_overflow(*base, b_ns, &start)) {
    error = "the start time (NZYEAR " + std::to_string(year) + " + B) is outside the representable range";
    return std::nullopt;
  }
  return start;
}

}  // namespace

bool is_sac(std::string_view head) {
  const auto swap = sac_swap(head);
  if (!swap) return false;
  const SacHeader h(head, *swap);
  const float delta = h.real(0);
  const std::int32_t npts = h.integer(79);
  return npts > 0 && std::isfinite(delta) && delta > 0.0f;
}

namespace {

/// The sampling interval that a float DELTA stands for: the double of its
/// shortest decimal, 0.02f -> "0.02" -> 0.02 (not 0.0199999996, the float's
/// exact value), since the header was written from that decimal and the
/// output's times are exact decimals of it.
double interval_of(float delta) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, delta);
  const double exact = static_cast<double>(delta);
  if (ec != std::errc()) return exact;
  const std::string_view shortest(buf, static_cast<std::size_t>(end - buf));
  return common::to_number(shortest, common::NumberGrammar{}).value_or(exact);
}

/// A 632-byte header whose NVHDR reads 6 in the byte order `swap`
/// (sac_swap's answer for the file).
Problem check_header(std::string_view bytes, std::optional<bool> swap, const std::string& file) {
  if (bytes.size() < kHeaderBytes) {
    return fail(file, 0, "the SAC header needs 632 bytes but the file has " + std::to_string(bytes.size()),
                Status::truncated);
  }
  if (!swap) return fail(file, 0, "the SAC header version NVHDR (word 76) is not 6 in either byte order");
  return {};
}

/// The header words that say what the samples are: a positive DELTA and
/// NPTS, a time series (IFTYPE 1 or undefined) of evenly spaced samples
/// (LEVEN not 0).
Problem check_sampling(const SacHeader& h, const std::string& file) {
  const float delta = h.real(0);
  if (!std::isfinite(delta) || delta <= 0.0f) {
    return fail(file, 0, "DELTA " + float_text(delta) + " is not a positive interval");
  }
  const std::int32_t npts = h.integer(79);
  if (npts <= 0) return fail(file, 0, "NPTS " + std::to_string(npts) + " is not a positive count");
  const std::int32_t iftype = h.integer(85);
  if (iftype != 1 && iftype != kUndefinedInt) {
    return fail(file, 0, "IFTYPE " + std::to_string(iftype) + " is not a time series (1)");
  }
  if (h.integer(105) == 0) return fail(file, 0, "LEVEN 0: unevenly spaced samples are not read");
  return {};
}

/// A file of exactly 632 + 4 * npts bytes (npts > 0): fewer is truncated,
/// more is malformed. NPTS 10 -> 672 bytes.
Problem check_length(std::size_t size, std::int32_t npts, const std::string& file) {
  // npts <= 2^31 - 1, so 4 * npts + 632 fits a 64-bit size_t.
  const std::size_t need = kHeaderBytes + 4 * static_cast<std::size_t>(npts);
  if (size < need) {
    return fail(file, 0,
                "NPTS " + std::to_string(npts) + " needs " + std::to_string(need) + " bytes but the file has " +
                    std::to_string(size),
                Status::truncated);
  }
  if (size > need) {
    return fail(file, 0,
                std::to_string(size - need) + " bytes follow the " + std::to_string(npts) + " samples that NPTS states");
  }
  return {};
}

/// The channel's name KCMPNM and its id KNETWK.KSTNM.KHOLE.KCMPNM
/// ("CJ.T001230..HNE"); no id when network, station and name are all
/// undefined.
void read_names(const SacHeader& h, Channel& ch) {
  ch.name = h.text(600, 8);
  const std::string net = h.text(608, 8);
  const std::string sta = h.text(440, 8);
  const std::string loc = h.text(464, 8);
  if (!net.empty() || !sta.empty() || !ch.name.empty()) ch.seed_id = net + "." + sta + "." + loc + "." + ch.name;
}

/// The channel's direction from CMPINC and CMPAZ: 0 (up) or 180 (down,
/// noted in factor_text) makes it vertical, undefined leaves it to the
/// name ("HNZ" -> vertical); a horizontal takes CMPAZ reduced to [0, 360)
/// (450 -> 90, -90 -> 270), undefined: no azimuth.
Problem read_orientation(const SacHeader& h, const std::string& file, Channel& ch) {
  const float cmpinc = h.real(58);
  const float cmpaz = h.real(57);
  if (cmpinc == kUndefinedFloat) {
    ch.vertical = !ch.name.empty() && (ch.name.back() == 'Z' || ch.name.back() == 'z');
  } else if (cmpinc == 0.0f || cmpinc == 180.0f) {
    ch.vertical = true;
    if (cmpinc == 180.0f) ch.factor_text = "CMPINC 180: positive down";
  } else if (!std::isfinite(cmpinc)) {
    return fail(file, 0, "CMPINC " + float_text(cmpinc) + " is not a number");
  }
  if (!ch.vertical && cmpaz != kUndefinedFloat) {
    if (!std::isfinite(cmpaz)) return fail(file, 0, "CMPAZ " + float_text(cmpaz) + " is not a number");
    const double az = text::reduce_azimuth(static_cast<double>(cmpaz));
    ch.azimuth = az;
  }
  return {};
}

/// The `npts` float samples after the header, in the byte order `swap`,
/// as doubles; a NaN or infinite one is refused ("sample 3 of 10 is NaN").
Problem read_samples(std::string_view data, bool swap, std::int32_t npts, const std::string& file, Channel& ch) {
  const auto n = static_cast<std::size_t>(npts);
  ch.values.resize(n);
  const SacHeader words(data, swap);
  for (std::size_t i = 0; i < n; ++i) {
    const float v = words.real(i);
    if (!std::isfinite(v)) {
      return fail(file, 0,
                  "sample " + std::to_string(i + 1) + " of " + std::to_string(npts) + " is " +
                      (std::isnan(v) ? "NaN" : "infinite"));
    }
    ch.values[i] = static_cast<double>(v);
  }
  return {};
}

}  // namespace

Problem read_sac(std::string_view bytes, const std::string& file, FileContents& out) {
  const auto swap = sac_swap(bytes);
  if (Problem p = check_header(bytes, swap, file); !p.ok()) return p;
  const SacHeader h(bytes, *swap);
  if (Problem p = check_sampling(h, file); !p.ok()) return p;
  const std::int32_t npts = h.integer(79);
  if (Problem p = check_length(bytes.size(), npts, file); !p.ok()) return p;

  Channel ch;
  ch.file = file;
  read_names(h, ch);
  ch.dt = interval_of(h.real(0));
  ch.unit = Unit::none;
  ch.factor = 1.0;
  ch.order = 0;

  std::string start_error;
  ch.start_ns = sac_start(h, start_error);
  if (!start_error.empty()) return fail(file, 0, start_error);
  if (Problem p = read_orientation(h, file, ch); !p.ok()) return p;
  if (Problem p = read_samples(bytes.substr(kHeaderBytes), *swap, npts, file, ch); !p.ok()) return p;

  out.station = h.text(440, 8);
  out.event = h.text(448, 16);
  if (ch.start_ns) out.start_text = calendar::iso_text(*ch.start_ns);
  out.channels.push_back(std::move(ch));
  return Problem{};
}

}  // namespace wavefft::import
