// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the free-form reader and the "(A90)" line read on arbitrary
// bytes.
//
// Input layout: byte 0 gives the number p (0 .. 63) of plan bytes that
// follow; the rest of the input is the text to read. Each plan byte adds one
// destination to the current read or closes it (value % 8):
//   0, 1  integer destination      4, 5  character destination
//   2, 3  double destination       6     close the current read (an empty
//   7     an "(A90)" line read            list makes an empty read)
// The reads run in plan order, and the last one repeats, until a read meets
// the end of the text or fails, as the program would stop there. So the
// plan 4 4 4 4 6 6 followed by 43 times 2 reads like the waveform file
// (header, skipped line, records); 7 0 like the console (a name, then
// integer answers). An empty plan reads four doubles at a time.
//
// Checks, besides the sanitizers:
//  - the whole transcript (every status and every destination's bytes after
//    every read) is the same for every block size of the stream, from 2
//    bytes to larger than the text: refills, push-back across a block
//    boundary and CR LF split over two blocks change nothing;
//  - a read of doubles only gives the same transcript through the record
//    scanner read_doubles() as through read_list();
//  - every read makes progress (the loop ends within size + 2 reads);
//  - a status carries exactly the context word and message of its kind;
//  - the end of input is sticky: once at_end(), the next read fails with
//    "read start";
//  - a double destination is the untouched sentinel or a number, never NaN.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/freeform.h"
#include "textio/instream.h"

namespace {

using wavefft::textio::Dest;
using wavefft::textio::DestKind;
using wavefft::textio::InStream;
using wavefft::textio::MemoryInStream;
using wavefft::textio::ReadError;
using wavefft::textio::ReadStatus;
using wavefft::textio::Text90;

constexpr std::size_t kMaxPlan = 63;

/// Values a destination holds before a read, so that "left unchanged" shows.
constexpr std::int32_t kIntSentinel = 0x5A5A5A5A;
constexpr std::uint64_t kDoubleSentinelBits = 0x7FF8DEADBEEF0001ULL;  // a quiet NaN
constexpr char kTextSentinel = '\x01';

struct Step {
  bool a90 = false;             ///< an "(A90)" line read
  std::vector<DestKind> kinds;  ///< destinations of a free-form read
};

std::vector<Step> make_plan(const std::uint8_t* plan, std::size_t n) {
  std::vector<Step> steps;
  Step current;
  bool open = false;
  for (std::size_t i = 0; i < n; ++i) {
    switch (plan[i] % 8) {
      case 0:
      case 1:
        current.kinds.push_back(DestKind::Integer);
        open = true;
        break;
      case 2:
      case 3:
        current.kinds.push_back(DestKind::Double);
        open = true;
        break;
      case 4:
      case 5:
        current.kinds.push_back(DestKind::Text);
        open = true;
        break;
      case 6:
        steps.push_back(current);
        current = Step{};
        open = false;
        break;
      default:
        if (open) steps.push_back(current);
        current = Step{};
        open = false;
        steps.push_back(Step{true, {}});
        break;
    }
  }
  if (open) steps.push_back(current);
  if (steps.empty()) steps.push_back(Step{false, {DestKind::Double, DestKind::Double, DestKind::Double, DestKind::Double}});
  return steps;
}

[[noreturn]] void broken(const char* what, std::size_t block, std::size_t step) {
  std::fprintf(stderr, "freeform_fuzz: %s (block %zu, read %zu)\n", what, block, step);
  std::abort();
}

void check_status(const ReadStatus& st, bool was_at_end, bool at_end_now, std::size_t block, std::size_t step) {
  const auto is = [](const char* s, const char* want) { return s != nullptr && std::strcmp(s, want) == 0; };
  switch (st.error) {
    case ReadError::None:
    case ReadError::EndInDiscard:
      if (st.context != nullptr || st.message != nullptr) broken("success with a diagnostic text", block, step);
      if (st.error == ReadError::EndInDiscard && !at_end_now) broken("end in discard without the at-end flag", block, step);
      break;
    case ReadError::EndOfFile:
      if (!is(st.message, "end of file")) broken("end of file with a wrong message", block, step);
      if (!is(st.context, "read start") && !is(st.context, "list in") && !is(st.context, "fmt")) {
        broken("end of file with a wrong context", block, step);
      }
      if (!at_end_now) broken("end of file without the at-end flag", block, step);
      if (is(st.context, "read start") != was_at_end) broken("\"read start\" and the at-end flag disagree", block, step);
      break;
    case ReadError::InvalidNumber:
      if (!is(st.context, "invalid number") || !is(st.message, "incomprehensible list input")) {
        broken("invalid number texts", block, step);
      }
      break;
    case ReadError::InvalidInteger:
      if (!is(st.context, "invalid integer") || !is(st.message, "read unexpected character")) {
        broken("invalid integer texts", block, step);
      }
      break;
    case ReadError::ExponentField:
      if (!is(st.context, "exponent field") || !is(st.message, "incomprehensible list input")) {
        broken("exponent field texts", block, step);
      }
      break;
    case ReadError::BadRepetition:
      if (!is(st.context, "bad repetition count") || !is(st.message, "incomprehensible list input")) {
        broken("bad repetition count texts", block, step);
      }
      break;
  }
  if (was_at_end && st.error != ReadError::EndOfFile) broken("a read after the end of input did not fail", block, step);
}

/// Runs the plan over `text` with the given block size; returns the
/// transcript. With `scanner`, reads of doubles only go through read_doubles().
std::string run_plan(const std::vector<Step>& plan, std::string_view text, std::size_t block, bool scanner) {
  MemoryInStream in{std::string(text), block};
  std::string transcript;
  const std::size_t max_reads = text.size() + 2;
  for (std::size_t n = 0;; ++n) {
    if (n > max_reads) broken("a read made no progress", block, n);
    const Step& step = plan[std::min(n, plan.size() - 1)];
    const bool was_at_end = in.at_end();
    ReadStatus st;
    if (step.a90) {
      Text90 line;
      line.fill(kTextSentinel);
      st = wavefft::textio::read_line_a90(in, line);
      transcript.append(line.data(), line.size());
    } else {
      std::vector<std::int32_t> ints(step.kinds.size(), kIntSentinel);
      std::vector<double> doubles(step.kinds.size(), std::bit_cast<double>(kDoubleSentinelBits));
      std::vector<Text90> texts(step.kinds.size());
      std::vector<Dest> dests;
      for (std::size_t k = 0; k < step.kinds.size(); ++k) {
        texts[k].fill(kTextSentinel);
        switch (step.kinds[k]) {
          case DestKind::Integer:
            dests.push_back(wavefft::textio::dest(ints[k]));
            break;
          case DestKind::Double:
            dests.push_back(wavefft::textio::dest(doubles[k]));
            break;
          case DestKind::Text:
            dests.push_back(wavefft::textio::dest(texts[k]));
            break;
        }
      }
      const bool all_doubles =
          !step.kinds.empty() &&
          std::all_of(step.kinds.begin(), step.kinds.end(), [](DestKind k) { return k == DestKind::Double; });
      if (scanner && all_doubles) {
        st = wavefft::textio::read_doubles(in, doubles[0], std::span<double>(doubles).subspan(1));
      } else {
        st = wavefft::textio::read_list(in, dests);
      }
      for (std::size_t k = 0; k < step.kinds.size(); ++k) {
        switch (step.kinds[k]) {
          case DestKind::Integer:
            transcript.append(reinterpret_cast<const char*>(&ints[k]), sizeof ints[k]);
            break;
          case DestKind::Double: {
            const auto bits = std::bit_cast<std::uint64_t>(doubles[k]);
            if (bits != kDoubleSentinelBits && std::isnan(doubles[k])) broken("a double read as NaN", block, n);
            transcript.append(reinterpret_cast<const char*>(&bits), sizeof bits);
            break;
          }
          case DestKind::Text:
            transcript.append(texts[k].data(), texts[k].size());
            break;
        }
      }
    }
    check_status(st, was_at_end, in.at_end(), block, n);
    transcript.push_back(static_cast<char>('A' + static_cast<int>(st.error)));
    if (st.context != nullptr) transcript.append(st.context);
    transcript.push_back('\n');
    if (st.error != ReadError::None && st.error != ReadError::EndInDiscard) break;
  }
  return transcript;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t plan_len = std::min<std::size_t>(data[0] % (kMaxPlan + 1), size - 1);
  const std::vector<Step> plan = make_plan(data + 1, plan_len);
  const std::string_view text(reinterpret_cast<const char*>(data + 1 + plan_len), size - 1 - plan_len);

  // Block sizes: the smallest the stream allows, odd small ones, and one
  // larger than the text, so that the text is a single block.
  const std::size_t blocks[] = {2, 3, 7, 64, text.size() + 2};
  const std::string reference = run_plan(plan, text, blocks[0], false);
  for (std::size_t i = 1; i < std::size(blocks); ++i) {
    if (run_plan(plan, text, blocks[i], false) != reference) broken("the transcript depends on the block size", blocks[i], 0);
  }
  for (const std::size_t block : blocks) {
    if (run_plan(plan, text, block, true) != reference) broken("read_doubles() differs from read_list()", block, 0);
  }
  return 0;
}
