// SPDX-License-Identifier: GPL-3.0-or-later
// Blocks of time-value pairs (contracts in pair_block.h).
#include "import/pair_block.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

#include "common/numbers.h"
#include "import/value_blocks.h"
#include "import/words.h"

namespace wavefft::import::text {

namespace {

/// The times of a block as read, and where each line of it starts.
struct PairTimes {
  std::vector<double> times;
  std::vector<int> places;  // decimals printed after each time's point, at most 9
  std::vector<std::pair<std::size_t, std::size_t>> starts;  // (first pair index, line number) per line

  /// The line that holds pair k (0-based).
  std::size_t line_of(std::size_t k) const {
    const auto it = std::upper_bound(
        starts.begin(), starts.end(), k,
        [](std::size_t index, const std::pair<std::size_t, std::size_t>& s) { return index < s.first; });
    return it == starts.begin() ? std::size_t{0} : std::prev(it)->second;
  }
};

/// "34.716" -> 3, "12" -> 0: the digits after the point, at most 9.
int printed_places(std::string_view word) {
  const std::size_t point = word.find('.');
  std::size_t p = 0;
  if (point != std::string_view::npos) {
    while (point + 1 + p < word.size() && word[point + 1 + p] >= '0' && word[point + 1 + p] <= '9') ++p;
  }
  return static_cast<int>(std::min<std::size_t>(p, 9));
}

/// Step 1 of read_pair_block: the n pairs, times into `t`, values times
/// `factor` into `out`.
Problem take_pairs(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                   std::vector<double>& out, PairTimes& t) {
  // The rest of the file bounds what can be reserved, whatever the header says.
  const std::size_t room = std::min(n, lines.rest().size() / 4 + 1);
  t.times.reserve(room);
  t.places.reserve(room);
  out.reserve(out.size() + room);
  bool want_time = true;
  std::string_view line;
  while (t.times.size() < n || !want_time) {
    if (!lines.next(line)) return ends_after(file, lines.number(), t.times.size(), n, "time-value pairs");
    t.starts.emplace_back(t.times.size(), lines.number());
    std::size_t i = 0;
    std::string_view word;
    while ((t.times.size() < n || !want_time) && next_word(line, i, word)) {
      const std::optional<double> v = common::to_number(word, common::kFortranField);
      if (!v) return fail(file, lines.number(), "not a number: " + quoted(word));
      if (!std::isfinite(*v)) return fail(file, lines.number(), "value out of range: " + quoted(word));
      if (want_time) {
        t.times.push_back(*v);
        t.places.push_back(printed_places(word));
      } else {
        if (refuse_flags && is_missing_flag(*v)) {
          return fail(file, lines.number(), "missing-value flag " + quoted(word) + " in the data",
                      Status::missing_value);
        }
        out.push_back(factor == 1.0 ? *v : *v * factor);
      }
      want_time = !want_time;
    }
  }
  return {};
}

/// Step 2 of read_pair_block: every time on the even spacing `dt` from the
/// first, within its printing. The first step that is a gap or a stall
/// ("2.168" then "2.181" at dt 0.0043) is named when there is one: that
/// is where the spacing breaks; else the first time off the spacing.
Problem check_spacing(const PairTimes& t, double dt, const std::string& file) {
  // One unit of the last printed decimal, but never a quarter step or more.
  static constexpr double kUnit[10] = {1, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9};
  const auto tolerance = [&](std::size_t k) { return std::min(kUnit[t.places[k]] + 1e-6, 0.25 * dt); };
  const std::size_t n = t.times.size();
  for (std::size_t k = 0; k < n; ++k) {
    const double expected = t.times.front() + static_cast<double>(k) * dt;
    if (std::fabs(t.times[k] - expected) <= tolerance(k)) continue;
    for (std::size_t j = 1; j < n; ++j) {
      const double step = t.times[j] - t.times[j - 1];
      const double slack = tolerance(j) + tolerance(j - 1);
      if (step > 1.5 * dt + slack || step < 0.5 * dt - slack) {
        return fail(file, t.line_of(j),
                    "the time steps from " + common::fixed(t.times[j - 1], t.places[j - 1]) + " to " +
                        common::fixed(t.times[j], t.places[j]) + " (pair " + std::to_string(j + 1) +
                        "), where the pairs are " + common::significant(dt, 9) + " s apart",
                    Status::uneven_times);
      }
    }
    return fail(file, t.line_of(k),
                "time " + common::fixed(t.times[k], t.places[k]) + " of pair " + std::to_string(k + 1) +
                    " is off the even spacing of " + common::significant(dt, 9) + " s (expected " +
                    common::fixed(expected, t.places[k] + 3) + ")",
                Status::uneven_times);
  }
  return {};
}

}  // namespace

double interval_from_span(double span, double steps) {
  const double rate = steps / span;
  const double r = std::nearbyint(rate);
  if (std::isfinite(rate) && r >= 1.0 && r <= 1e9 && std::fabs(rate - r) <= 1e-9 * r) return 1.0 / r;
  return span / steps;
}

Problem read_pair_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out, double& dt, double& first_time) {
  if (n < 2) return fail(file, lines.number(), "time-value pairs need a count of 2 or more, not " + std::to_string(n));
  PairTimes t;
  if (Problem p = take_pairs(lines, n, factor, refuse_flags, file, out, t); !p.ok()) return p;
  const double span = t.times.back() - t.times.front();
  if (!(span > 0.0) || !std::isfinite(span)) {
    return fail(file, lines.number(), "the times do not increase: the last pair's time is not after the first's",
                Status::uneven_times);
  }
  dt = interval_from_span(span, static_cast<double>(n - 1));
  first_time = t.times.front();
  return check_spacing(t, dt, file);
}

}  // namespace wavefft::import::text
