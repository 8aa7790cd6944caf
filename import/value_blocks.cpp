// SPDX-License-Identifier: GPL-3.0-or-later
// Blocks of values in agency text files (contracts in value_blocks.h).
#include "import/value_blocks.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "common/numbers.h"
#include "import/words.h"

namespace wavefft::import::text {

namespace {

/// Shows a field in a message: at most 40 characters, control bytes as '?'.
std::string shown(std::string_view s) {
  std::string out;
  for (const char c : s.substr(0, 40)) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
  if (s.size() > 40) out += "...";
  return out;
}

/// How a block of values shows a field it cannot take: shown() in double
/// quotes, or quoted().
enum class Show { plain, quoted };

/// Appends `field` read as a number, times `factor` (1 keeps it as read),
/// to `out`. Otherwise a Problem at `line`: "not a number" (preceded by
/// "<label> <index> is" when a label is given), a missing-value flag (when
/// `refuse_flags`) or a value out of range.
Problem append_value(std::string_view field, const char* label, std::size_t index, Show show, double factor,
                     bool refuse_flags, const std::string& file, std::size_t line, std::vector<double>& out) {
  const auto show_field = [show](std::string_view f) {
    if (show == Show::quoted) return quoted(f);
    // built piecewise: `"\"" + string + "\""` trips a false -Wrestrict in g++ 12 -O3
    std::string s(1, '"');
    s += shown(f);
    s += '"';
    return s;
  };
  const std::optional<double> v = common::to_number(field, common::kFortranField);
  if (!v) {
    const std::string what =
        label == nullptr ? std::string("not a number: ") : label + (" " + std::to_string(index)) + " is not a number: ";
    return fail(file, line, what + show_field(field));
  }
  if (refuse_flags && is_missing_flag(*v)) {
    const std::string_view flag = trim(field);
    return fail(file, line, "missing-value flag " + (show == Show::plain ? shown(flag) : quoted(flag)) + " in the data",
                Status::missing_value);
  }
  if (!std::isfinite(*v)) return fail(file, line, "value out of range: " + show_field(field));
  out.push_back(factor == 1.0 ? *v : *v * factor);
  return {};
}

}  // namespace

bool is_missing_flag(double v) { return v == -999.0 || v == -32768.0 || std::fabs(v) >= 1.7e38; }

Problem ends_after(const std::string& file, std::size_t line, std::size_t got, std::size_t n, const char* what) {
  return fail(file, line, "the file ends after " + std::to_string(got) + " of " + std::to_string(n) + " " + what,
              Status::truncated);
}

Problem read_fixed_block(Lines& lines, const FixedFormat& format, std::size_t n, double factor, bool refuse_flags,
                         const std::string& file, std::vector<double>& out) {
  const std::size_t per = static_cast<std::size_t>(format.per_line);
  const std::size_t width = static_cast<std::size_t>(format.width);
  out.reserve(out.size() + n);
  std::size_t got = 0;
  std::string_view line;
  while (got < n) {
    if (!lines.next(line)) return ends_after(file, lines.number(), got, n, "values");
    const std::size_t here = std::min(per, n - got);
    for (std::size_t k = 0; k < here; ++k) {
      const std::size_t at = k * width;
      if (at >= line.size()) {
        return fail(file, lines.number(),
                    "the line holds " + std::to_string(k) + " values where " + std::to_string(here) + " are expected",
                    Status::truncated);
      }
      if (Problem p = append_value(line.substr(at, width), "value", k + 1, Show::plain, factor, refuse_flags, file,
                                   lines.number(), out);
          !p.ok()) {
        return p;
      }
    }
    got += here;
  }
  return {};
}

Problem read_free_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out) {
  // A header's count is not trusted for memory: each value takes 2 bytes or more.
  if (n > 0) out.reserve(out.size() + std::min(n, lines.rest().size() / 2 + 1));
  std::size_t got = 0;
  std::string_view line;
  while (n == 0 || got < n) {
    if (!lines.next(line)) return n == 0 ? Problem{} : ends_after(file, lines.number(), got, n, "values");
    std::size_t i = 0;
    std::string_view word;
    while ((n == 0 || got < n) && next_word(line, i, word)) {
      // a word holds no blank or tab, so the flag is shown as the word itself
      if (Problem p = append_value(word, nullptr, 0, Show::plain, factor, refuse_flags, file, lines.number(), out);
          !p.ok()) {
        return p;
      }
      ++got;
    }
  }
  return {};
}

Problem read_columns(Lines& lines, std::size_t columns, std::size_t width, std::size_t rows, double factor,
                     bool refuse_flags, const std::string& file, std::vector<std::vector<double>>& out) {
  if (columns == 0 || columns > 1000 || width > 1000) {
    return fail(file, lines.number(), "a table of " + std::to_string(columns) + " columns is not read");
  }
  out.assign(columns, {});
  const std::size_t room = std::min(rows == 0 ? lines.rest().size() : rows, lines.rest().size() / (2 * columns) + 1);
  for (auto& column : out) column.reserve(room);
  std::size_t got = 0;
  std::string_view line;
  auto take = [&](std::string_view field, std::size_t c) -> Problem {
    return append_value(field, "column", c + 1, Show::quoted, factor, refuse_flags, file, lines.number(), out[c]);
  };
  const std::string too_many = "the row holds more than " + std::to_string(columns) + " values";
  while (rows == 0 || got < rows) {
    if (!lines.next(line)) return rows == 0 ? Problem{} : ends_after(file, lines.number(), got, rows, "rows");
    std::size_t c = 0;
    if (width == 0) {
      // "  0.000909     -0.000191    -0.000092" -> three values
      std::size_t i = 0;
      std::string_view word;
      while (next_word(line, i, word)) {
        if (c == columns) return fail(file, lines.number(), too_many);
        if (Problem p = take(word, c); !p.ok()) return p;
        ++c;
      }
    } else {
      // "    -0.084    -0.052     0.108" by 10-character columns
      for (; c < columns && c * width < line.size() && !trim(line.substr(c * width, width)).empty(); ++c) {
        if (Problem p = take(line.substr(c * width, width), c); !p.ok()) return p;
      }
      if (c == columns && columns * width < line.size() && !trim(line.substr(columns * width)).empty()) {
        return fail(file, lines.number(), too_many);
      }
    }
    if (c != columns) {
      return fail(file, lines.number(),
                  "the row holds " + std::to_string(c) + " values where " + std::to_string(columns) + " are expected");
    }
    ++got;
  }
  return {};
}

}  // namespace wavefft::import::text
