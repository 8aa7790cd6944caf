// SPDX-License-Identifier: GPL-3.0-or-later
// The input layout written back (layout in layout_writer.h).
#include "records/layout_writer.h"

#include <cstring>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>

#include "common/numbers.h"

namespace wavefft::records {

namespace {

void append_words(const std::vector<std::string>& words, std::string& out) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += ' ';
    out += words[i];
  }
  out += '\n';
}

// Rows [from, to) appended to `out`.
void append_rows(const RecordFile& rec, const std::array<std::vector<double>, 3>& comp, std::size_t from,
                 std::size_t to, std::string& out) {
  static constexpr std::string_view kMiddle = " 0 0 0 0 0 0 0 0 ";  // values 3 .. 10 and the blank before 11
  static constexpr std::string_view kTail =
      " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";  // values 12 .. 42
  common::ShortestColumn time, a, b, c;
  char row[4 * 32 + 8 + kMiddle.size() + kTail.size()];
  for (std::size_t i = from; i < to; ++i) {
    char* p = time.write(row, rec.time[i]);
    *p++ = ' ';
    p = a.write(p, comp[0][i]);
    *p++ = ' ';
    p = b.write(p, comp[1][i]);
    std::memcpy(p, kMiddle.data(), kMiddle.size());
    p = c.write(p + kMiddle.size(), comp[2][i]);
    std::memcpy(p, kTail.data(), kTail.size());
    p += kTail.size();
    out.append(row, static_cast<std::size_t>(p - row));
  }
}

// The longest row: four numbers of at most 24 characters, their blanks and
// the 39 zeros. Room reserved and never written costs no memory.
constexpr std::size_t kLongestRow = 4 * 24 + 2 + 18 + 63;

// From this many rows on, the second half is written in a thread of its own.
constexpr std::size_t kSplitRows = 16384;

}  // namespace

std::string layout_text(const RecordFile& rec, const std::array<std::vector<double>, 3>& comp) {
  const std::size_t n = rec.time.size();
  for (const std::vector<double>& c : comp) {
    if (c.size() != n) throw std::invalid_argument("a component's length differs from the record's");
  }
  std::string out;
  out.reserve(1024 + n * kLongestRow);  // one block: the halves are joined without a move
  append_words(rec.header_words, out);
  append_words(rec.title_words, out);
  std::string second;
  second.reserve((n - n / 2) * kLongestRow);
  std::thread worker;
  const std::size_t half = n >= kSplitRows ? n / 2 : n;
  if (half < n) {
    try {
      worker = std::thread(append_rows, std::cref(rec), std::cref(comp), half, n, std::ref(second));
    } catch (const std::system_error&) {
      append_rows(rec, comp, half, n, second);  // no thread to be had
    }
  }
  append_rows(rec, comp, 0, half, out);
  if (worker.joinable()) worker.join();
  out += second;
  return out;
}

}  // namespace wavefft::records
