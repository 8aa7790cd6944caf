// SPDX-License-Identifier: GPL-3.0-or-later
// miniSEED 2 through libmseed (the only file of wavefft-import that includes
// its header).
//
// The file is read record by record from a private copy of its bytes: each
// record's header is parsed by msr_parse (record length from blockette 1000),
// checked here (encoding, data offset, room for the stated samples), and
// only then are its samples decoded by msr_unpack_data. The checks come
// first because the uncompressed decoders trust the header's sample count.
//
// Choices:
// - Every record needs a blockette 1000 (it states the encoding, the byte
//   order and the record length). Encodings read: int16, int32, float32,
//   float64, Steim-1, Steim-2; text records (encoding 0) and records without
//   samples are skipped; any other encoding is refused.
// - Records are grouped by NET.STA.LOC.CHA in the order their channels first
//   appear (records of several channels may interleave). Within a channel
//   each record must start where the previous one ended, to within half a
//   sample interval, at the same sample rate (relative 1e-4): a gap or an
//   overlap is refused (malformed, "gap of 0.5 s at <time> in <id>"), since
//   a record with a hole is not one accelerogram.
// - The sample rate is libmseed's msr_samprate (blockette 100's actual rate
//   when present, else the nominal one); dt = 1 / rate.
// - Orientation: the channel code's last letter Z makes it vertical, N gives
//   azimuth 0 and E azimuth 90; any other letter (1, 2, ...) leaves the
//   azimuth empty. Assembly replaces these with StationXML's azimuth and dip
//   where a response epoch matches, so they are only a fallback.
// - Values are the samples as doubles (integers exactly, floats as stored),
//   in Unit::counts with factor 1; a NaN or infinite float is refused.
// - libmseed's log goes to a buffer, never to the terminal; what it logged
//   while reading a record that fails is added to the Problem text.
#include <libmseed.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/numbers.h"
#include "import/calendar.h"
#include "import/formats.h"

namespace wavefft::import {
namespace {

// libmseed's record length limits (MINRECLEN, MAXRECLEN in its sources).
constexpr int kMinRecordLength = 128;
constexpr int kMaxRecordLength = 1048576;
// ms_detect may look a few bytes past the buffer it is given while walking
// the blockette chain; the private copy carries zero padding for that.
constexpr std::size_t kPadding = 64;

// What libmseed logged since the last clear. libmseed has one global log
// setting; the readers run on one thread.
std::string g_log;

void collect_log(char* message) {
  if (message == nullptr || g_log.size() > 400) return;
  std::string_view m(message);
  while (!m.empty() && (m.back() == '\n' || m.back() == '\r')) m.remove_suffix(1);
  if (!g_log.empty()) g_log += "; ";
  g_log.append(m.substr(0, 200));
}

/// Frees the record libmseed allocated, whatever path leaves read_mseed.
struct RecordHolder {
  MSRecord* msr = nullptr;
  ~RecordHolder() { msr_free(&msr); }
};

bool header_char_ok(unsigned char c) { return (c >= '0' && c <= '9') || c == ' ' || c == 0; }

std::uint16_t u16(const unsigned char* p, bool big) {
  return big ? static_cast<std::uint16_t>((p[0] << 8) | p[1]) : static_cast<std::uint16_t>((p[1] << 8) | p[0]);
}

/// The fixed-header signature of a data record at `p` (48 bytes or more):
/// sequence digits, quality D/R/Q/M, a blank, a plausible year and day in
/// either byte order, hour, minute and second in range.
bool looks_like_record(std::string_view p) {
  if (p.size() < 48) return false;
  const auto* b = reinterpret_cast<const unsigned char*>(p.data());
  for (int i = 0; i < 6; ++i) {
    if (!header_char_ok(b[i])) return false;
  }
  if (b[6] != 'D' && b[6] != 'R' && b[6] != 'Q' && b[6] != 'M') return false;
  if (b[7] != ' ' && b[7] != 0) return false;
  if (b[24] > 23 || b[25] > 59 || b[26] > 60) return false;
  for (const bool big : {true, false}) {
    const int year = u16(b + 20, big);
    const int day = u16(b + 22, big);
    if (year >= 1900 && year <= 2100 && day >= 1 && day <= 366) return true;
  }
  return false;
}

/// One channel's samples so far.
struct Stream {
  std::string id;  // "NET.STA.LOC.CHA"
  std::string station;
  std::string channel;
  double rate = 0.0;
  hptime_t start = 0;  // first sample, us since 1970
  std::vector<double> values;
};

Problem fail(Status status, const std::string& file, std::string text) {
  Problem p;
  p.status = status;
  p.file = file;
  p.text = std::move(text);
  if (!g_log.empty()) p.text += " (libmseed: " + g_log + ")";
  return p;
}

/// A rate or a span in a message, six significant digits: 0.5 -> "0.5".
std::string seconds_text(double s) { return common::significant(s, 6); }

std::string hptime_text(hptime_t t) {
  std::int64_t ns = 0;
  if (__builtin_mul_overflow(t, std::int64_t{1000}, &ns)) return std::to_string(t) + " us";
  return calendar::iso_text(ns);
}

bool encoding_read(int encoding) {
  return encoding == DE_INT16 || encoding == DE_INT32 || encoding == DE_FLOAT32 || encoding == DE_FLOAT64 ||
         encoding == DE_STEIM1 || encoding == DE_STEIM2;
}

/// Parses the header of the record at `offset` into holder.msr (the
/// samples stay undecoded) and checks its length and blockette 1000. `buf`
/// is the padded copy of `bytes` that libmseed reads; `at` names the record
/// in messages: "the record at byte 4096".
Problem parse_header(std::string_view bytes, std::vector<char>& buf, std::size_t offset, const std::string& at,
                     const std::string& file, RecordHolder& holder) {
  const std::size_t remaining = bytes.size() - offset;
  if (!looks_like_record(bytes.substr(offset))) {
    if (remaining < 48) {
      return fail(Status::truncated, file,
                  std::to_string(remaining) + " bytes at byte " + std::to_string(offset) +
                      " are too few for a record header");
    }
    return fail(Status::malformed, file, "no miniSEED record header at byte " + std::to_string(offset));
  }
  const int rc = msr_parse(buf.data() + offset, static_cast<int>(remaining), &holder.msr, -1, 0, 0);
  if (rc > 0) {
    return fail(Status::truncated, file, at + " needs " + std::to_string(rc) + " more bytes");
  }
  if (rc < 0 || holder.msr == nullptr) {
    return fail(Status::malformed, file, at + " does not parse: " + ms_errorstr(rc));
  }
  const int reclen = holder.msr->reclen;
  if (reclen < kMinRecordLength || reclen > kMaxRecordLength || static_cast<std::size_t>(reclen) > remaining) {
    return fail(Status::malformed, file, at + " has record length " + std::to_string(reclen));
  }
  if (holder.msr->Blkt1000 == nullptr || holder.msr->fsdh == nullptr) {
    return fail(Status::malformed, file, at + " has no blockette 1000 (encoding and record length)");
  }
  return Problem{};
}

/// What the decoders trust in a parsed header, checked before decoding: an
/// encoding read here, a data offset inside the record and, for samples of
/// fixed size, room for the stated count (a 256-byte int32 record with data
/// from byte 64 holds at most 48 samples).
Problem check_data_area(const MSRecord& msr, const std::string& at, const std::string& file) {
  if (!encoding_read(msr.encoding)) {
    return fail(Status::malformed, file,
                at + " has encoding " + std::to_string(msr.encoding) + " (" + ms_encodingstr(msr.encoding) +
                    "), which is not read");
  }
  const int reclen = msr.reclen;
  const int data_offset = msr.fsdh->data_offset;
  if (data_offset < 48 || data_offset >= reclen) {
    return fail(Status::malformed, file,
                at + " has data offset " + std::to_string(data_offset) + " outside its " + std::to_string(reclen) +
                    " bytes");
  }
  const std::int64_t data_bytes = reclen - data_offset;
  const std::int64_t sample_bytes = msr.encoding == DE_INT16     ? 2
                                    : msr.encoding == DE_FLOAT64 ? 8
                                    : msr.encoding == DE_STEIM1 || msr.encoding == DE_STEIM2 ? 0
                                                                                               : 4;
  if (sample_bytes > 0 && msr.samplecnt > data_bytes / sample_bytes) {
    return fail(Status::malformed, file,
                at + " states " + std::to_string(msr.samplecnt) + " samples but holds room for " +
                    std::to_string(data_bytes / sample_bytes));
  }
  return Problem{};
}

/// Decodes the samples of a checked record into msr->datasamples: exactly
/// the stated count, or the refusal.
Problem decode_samples(MSRecord* msr, const std::string& at, const std::string& file) {
  // The data byte order is blockette 1000's: swap on this host when it
  // differs (Steim frames are big-endian by the same flag).
  const bool host_big = std::endian::native == std::endian::big;
  const bool data_big = msr->byteorder > 0;
  const int decoded = msr_unpack_data(msr, host_big != data_big ? 1 : 0, 0);
  if (decoded < 0) {
    return fail(Status::malformed, file, at + " does not decode: " + ms_errorstr(decoded));
  }
  if (decoded != msr->samplecnt || msr->datasamples == nullptr) {
    return fail(Status::malformed, file,
                at + " decodes to " + std::to_string(decoded) + " samples instead of the stated " +
                    std::to_string(msr->samplecnt));
  }
  msr->numsamples = decoded;
  return Problem{};
}

/// Checks that the record `msr` (sample rate `rate`) carries on the
/// samples of `s` so far: the same rate to a relative 1e-4, and a start
/// where they end to within half a sample interval (else "gap of ..." or
/// "overlap of ..."). 100 Hz, 1000 samples from 03:19:23.0383: the next
/// record must start at 03:19:33.0383 +- 5 ms.
Problem check_follows(const Stream& s, const MSRecord& msr, double rate, const std::string& at,
                      const std::string& file) {
  if (std::fabs(1.0 - rate / s.rate) >= 1e-4) {
    return fail(Status::malformed, file,
                at + " changes the sample rate of " + s.id + " from " + seconds_text(s.rate) + " to " +
                    seconds_text(rate) + " Hz");
  }
  const double expected = static_cast<double>(s.start) + static_cast<double>(s.values.size()) * (1e6 / s.rate);
  const double diff_us = static_cast<double>(msr.starttime) - expected;
  if (std::fabs(diff_us) > 0.5e6 / s.rate) {
    const std::string what = diff_us > 0 ? "gap" : "overlap";
    return fail(Status::malformed, file,
                what + " of " + seconds_text(std::fabs(diff_us) / 1e6) + " s at " + hptime_text(msr.starttime) +
                    " in " + s.id + " (" + at + ")");
  }
  return Problem{};
}

/// The stream of the record's channel into `s`: the one found so far,
/// which the record must carry on (check_follows), or a new one at the end
/// of `streams` starting with this record.
Problem stream_for(const MSRecord& msr, double rate, const std::string& at, const std::string& file,
                   std::vector<Stream>& streams, Stream*& s) {
  const std::string id = std::string(msr.network) + "." + msr.station + "." + msr.location + "." + msr.channel;
  s = nullptr;
  for (auto& candidate : streams) {
    if (candidate.id == id) s = &candidate;
  }
  if (s != nullptr) return check_follows(*s, msr, rate, at, file);
  streams.push_back(Stream{id, msr.station, msr.channel, rate, msr.starttime, {}});
  s = &streams.back();
  return Problem{};
}

/// Appends the decoded samples of `msr` to `s` as doubles; a sample type
/// other than int32, float or double, or a NaN or infinite value, is
/// refused.
Problem append_samples(const MSRecord& msr, const std::string& at, const std::string& file, Stream& s) {
  const auto n = static_cast<std::size_t>(msr.numsamples);
  const std::size_t first = s.values.size();
  s.values.resize(first + n);
  for (std::size_t i = 0; i < n; ++i) {
    double v = 0.0;
    if (msr.sampletype == 'i') {
      v = static_cast<double>(static_cast<const std::int32_t*>(msr.datasamples)[i]);
    } else if (msr.sampletype == 'f') {
      v = static_cast<double>(static_cast<const float*>(msr.datasamples)[i]);
    } else if (msr.sampletype == 'd') {
      v = static_cast<const double*>(msr.datasamples)[i];
    } else {
      return fail(Status::malformed, file, at + " decodes to sample type '" + std::string(1, msr.sampletype) + "'");
    }
    if (!std::isfinite(v)) {
      return fail(Status::malformed, file,
                  "sample " + std::to_string(i + 1) + " of " + at + " is " + (std::isnan(v) ? "NaN" : "infinite"));
    }
    s.values[first + i] = v;
  }
  return Problem{};
}

/// Reads the record at `offset` of `bytes` (parsed from the padded copy
/// `buf`) into `streams` and moves `offset` past it. A text record or one
/// without samples is passed over.
Problem read_record(std::string_view bytes, std::vector<char>& buf, std::size_t& offset, const std::string& file,
                    RecordHolder& holder, std::vector<Stream>& streams) {
  g_log.clear();
  const std::string at = "the record at byte " + std::to_string(offset);
  if (Problem p = parse_header(bytes, buf, offset, at, file, holder); !p.ok()) return p;
  MSRecord* msr = holder.msr;
  offset += static_cast<std::size_t>(msr->reclen);
  // Encoding 0 (text, e.g. a LOG channel) or no samples: nothing to read.
  if (msr->encoding == DE_ASCII || msr->samplecnt <= 0) return Problem{};
  if (Problem p = check_data_area(*msr, at, file); !p.ok()) return p;
  const double rate = msr_samprate(msr);
  if (!std::isfinite(rate) || rate <= 0.0) {
    return fail(Status::malformed, file, at + " has sample rate " + seconds_text(rate));
  }
  if (Problem p = decode_samples(msr, at, file); !p.ok()) return p;
  Stream* s = nullptr;
  if (Problem p = stream_for(*msr, rate, at, file, streams, s); !p.ok()) return p;
  return append_samples(*msr, at, file, *s);
}

/// The channel that the stream `s` (the k-th of its file) becomes: dt from
/// its rate, the start in ns, counts with factor 1, and the direction that
/// the channel code's last letter gives ("HNZ" -> vertical; "HNN" ->
/// azimuth 0; "HNE" -> azimuth 90; "HN1" -> none).
Problem channel_of(Stream& s, std::size_t k, const std::string& file, Channel& ch) {
  ch.file = file;
  ch.name = s.channel;
  ch.seed_id = s.id;
  ch.order = k;
  ch.dt = 1.0 / s.rate;
  std::int64_t ns = 0;
  if (__builtin_mul_overflow(s.start, std::int64_t{1000}, &ns)) {
    return fail(Status::malformed, file, "the start of " + s.id + " is outside the representable range");
  }
  ch.start_ns = ns;
  const char last = s.channel.empty() ? ' ' : s.channel.back();
  if (last == 'Z') ch.vertical = true;
  if (last == 'N') ch.azimuth = 0.0;
  if (last == 'E') ch.azimuth = 90.0;
  ch.unit = Unit::counts;
  ch.factor = 1.0;
  ch.values = std::move(s.values);
  return Problem{};
}

}  // namespace

bool is_mseed(std::string_view head) { return looks_like_record(head); }

Problem read_mseed(std::string_view bytes, const std::string& file, FileContents& out) {
  ms_loginit(collect_log, nullptr, collect_log, nullptr);
  g_log.clear();
  if (bytes.size() > static_cast<std::size_t>(INT_MAX) - kPadding) {
    return fail(Status::malformed, file, "the file is larger than 2 GiB");
  }
  std::vector<char> buf(bytes.size() + kPadding, 0);
  if (!bytes.empty()) std::memcpy(buf.data(), bytes.data(), bytes.size());

  std::vector<Stream> streams;
  RecordHolder holder;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    if (Problem p = read_record(bytes, buf, offset, file, holder, streams); !p.ok()) return p;
  }
  g_log.clear();
  if (streams.empty()) return fail(Status::malformed, file, "no record holds data samples");

  out.station = streams.front().station;
  for (std::size_t k = 0; k < streams.size(); ++k) {
    Channel ch;
    if (Problem p = channel_of(streams[k], k, file, ch); !p.ok()) return p;
    if (k == 0) out.start_text = calendar::iso_text(*ch.start_ns);
    out.channels.push_back(std::move(ch));
  }
  return Problem{};
}

}  // namespace wavefft::import
