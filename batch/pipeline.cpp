// The pure parts of wavefft-batch (see pipeline.h).
#include "batch/pipeline.h"

#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <system_error>

namespace wavefft::batch {
namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

// The fields of one line, split at blanks, tabs and commas.
std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_separator(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !is_separator(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::optional<double> number(std::string_view text) {
  // from_chars takes no leading '+'.
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

std::string shortest(double v) {
  std::array<char, 40> buf{};
  const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  if (ec != std::errc()) return {};
  return std::string(buf.data(), end);
}

// The lines of a CSV text, each split at commas (no quoting: the files of
// wavefft-measures hold numbers and plain names only).
template <class Fn>
void for_each_csv_row(std::string_view text, Fn fn) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string_view> cells;
    std::size_t c = 0;
    while (true) {
      const std::size_t comma = line.find(',', c);
      cells.push_back(line.substr(c, comma == std::string_view::npos ? std::string_view::npos : comma - c));
      if (comma == std::string_view::npos) break;
      c = comma + 1;
    }
    fn(cells);
    pos = end + 1;
  }
}

// The text of the larger of two numbers; the one that is a number when only
// one is; empty when neither is.
std::string larger(std::string_view a, std::string_view b) {
  const auto x = number(a), y = number(b);
  if (x && y) return std::string(*y > *x ? b : a);
  if (x) return std::string(a);
  if (y) return std::string(b);
  return {};
}

}  // namespace

bool looks_like_record(std::string_view head) {
  std::size_t pos = 0;
  while (pos < head.size()) {
    std::size_t end = head.find('\n', pos);
    if (end == std::string_view::npos) end = head.size();
    const std::string_view line = head.substr(pos, end - pos);
    std::size_t count = 0;
    bool in_field = false;
    for (char c : line) {
      if (is_separator(c)) {
        in_field = false;
      } else if (!in_field) {
        in_field = true;
        if (++count >= 43) return true;
      }
    }
    pos = end + 1;
  }
  return false;
}

Form choose_form(bool any_processing_option, bool unit_given, std::size_t positionals, FirstArg first) {
  if (any_processing_option || unit_given || positionals < 2) return Form::records;
  return first == FirstArg::other_file || first == FirstArg::missing ? Form::answers : Form::records;
}

namespace {

// The free-form item that starts at or after `i`, with `i` moved past it;
// nullopt at the end of the text.
std::optional<std::string> next_item(std::string_view text, std::size_t& i) {
  auto separator = [](char c) { return is_separator(c) || c == '\n'; };
  while (i < text.size() && separator(text[i])) ++i;
  if (i >= text.size()) return std::nullopt;
  std::string item;
  if (text[i] == '\'' || text[i] == '"') {
    const char quote = text[i++];
    while (i < text.size()) {
      if (text[i] == quote) {
        if (i + 1 < text.size() && text[i + 1] == quote) {
          item += quote;
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      item += text[i++];
    }
  } else {
    while (i < text.size() && !separator(text[i])) item += text[i++];
  }
  return item;
}

}  // namespace

std::vector<std::string> free_form_items(std::string_view text, std::size_t max_items) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (out.size() < max_items) {
    auto item = next_item(text, i);
    if (!item) break;
    out.push_back(std::move(*item));
  }
  return out;
}

Header read_header(std::string_view head) {
  Header h;
  // The four words, then the line after the one that holds the fourth.
  std::string* slots[] = {&h.event, &h.station, &h.kind, &h.unit};
  std::size_t i = 0;
  for (std::string* slot : slots) {
    auto item = next_item(head, i);
    if (!item) return h;
    *slot = std::move(*item);
  }
  const std::size_t nl = head.find('\n', i);
  if (nl == std::string_view::npos) return h;
  std::size_t end = head.find('\n', nl + 1);
  if (end == std::string_view::npos) end = head.size();
  const auto titles = fields(head.substr(nl + 1, end - nl - 1));
  if (titles.size() >= 12) {
    h.components = std::string(titles[1]) + " " + std::string(titles[2]) + " " + std::string(titles[11]);
  }
  return h;
}

std::string known_unit(std::string_view word) {
  for (const char* u : {"g", "gal", "m_s2", "mm_s2"}) {
    if (word == u) return u;
  }
  return {};
}

std::optional<NtDt> parse_nt_dt(std::string_view line) {
  constexpr std::string_view key = "NT and DT=";
  const std::size_t at = line.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  const auto rest = fields(line.substr(at + key.size()));
  if (rest.size() < 2) return std::nullopt;
  return NtDt{std::string(rest[0]), std::string(rest[1])};
}

std::string duration_text(const NtDt& v) {
  const auto nt = number(v.nt), dt = number(v.dt);
  if (!nt || !dt) return {};
  const double d = *nt * *dt;
  return std::isfinite(d) ? shortest(d) : std::string();
}

std::string thinned_step(std::string_view dt, std::string_view skip) {
  const auto step = number(dt);
  // The option takes K with a leading '+' as the dialogue does; from_chars does not.
  if (!skip.empty() && skip.front() == '+') skip.remove_prefix(1);
  long long k = 0;
  const auto [end, ec] = std::from_chars(skip.data(), skip.data() + skip.size(), k);
  if (!step || ec != std::errc() || end != skip.data() + skip.size() || k < 0 || k > 2147483646) return {};
  const double d = *step * static_cast<double>(k + 1);
  return std::isfinite(d) ? shortest(d) : std::string();
}

bool is_lately_io_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line.size() >= 11 && line.substr(0, 7) == "lately " && line.substr(line.size() - 3) == " IO";
}

Ending classify(int code, std::string_view last_stdout_line, std::string_view first_stderr_line, bool lately_io_line) {
  Ending e{"error", std::string(first_stderr_line)};
  if (code == 0) {
    constexpr std::string_view stop = "NT>2**17 !!!!!";
    std::string_view last = last_stdout_line;
    if (!last.empty() && last.back() == '\r') last.remove_suffix(1);
    if (last.size() >= stop.size() && last.substr(last.size() - stop.size()) == stop) return {"stopped-too-long", ""};
    e.status = "normal";
  } else if (lately_io_line) {
    e.status = "diagnostic";
  } else if (code > 128) {
    e.status = "signal";
    if (e.diagnostic.empty()) e.diagnostic = "signal " + std::to_string(code - 128);
  } else if (first_stderr_line == "Interrupt" || first_stderr_line == "Killed" || first_stderr_line == "Floating Exception" ||
             first_stderr_line == "IOT Trap") {
    e.status = "signal";
  }
  return e;
}

void pick_measures(std::string_view measures_csv, Picked& out) {
  std::map<std::string, std::size_t> column;
  bool header = true;
  for_each_csv_row(measures_csv, [&](const std::vector<std::string_view>& cells) {
    if (header) {
      for (std::size_t k = 0; k < cells.size(); ++k) column.emplace(std::string(cells[k]), k);
      header = false;
      return;
    }
    const auto c1 = column.find("comp1"), c2 = column.find("comp2");
    if (c1 == column.end() || c2 == column.end() || cells.empty()) return;
    if (c1->second >= cells.size() || c2->second >= cells.size()) return;
    const std::string value = larger(cells[c1->second], cells[c2->second]);
    if (cells[0] == "pga") out.pga = value;
    if (cells[0] == "pgv") out.pgv = value;
  });
}

void pick_spectra(std::string_view spectra_csv, Picked& out) {
  std::map<std::string, std::size_t> column;
  bool header = true;
  for_each_csv_row(spectra_csv, [&](const std::vector<std::string_view>& cells) {
    if (header) {
      for (std::size_t k = 0; k < cells.size(); ++k) column.emplace(std::string(cells[k]), k);
      header = false;
      return;
    }
    auto cell = [&](const char* name) -> std::optional<std::string_view> {
      const auto it = column.find(name);
      if (it == column.end() || it->second >= cells.size()) return std::nullopt;
      return cells[it->second];
    };
    const auto period = cell("period_s"), damping = cell("damping"), c1 = cell("comp1"), c2 = cell("comp2");
    if (!period || !damping || !c1 || !c2) return;
    const auto p = number(*period), h = number(*damping);
    if (!p || !h || *h != 0.05) return;
    if (*p == 0.2) out.psa_02 = larger(*c1, *c2);
    if (*p == 1.0) {
      out.psa_10 = larger(*c1, *c2);
      if (const auto r = cell("rotd50")) out.rotd50_10 = std::string(*r);
    }
  });
}

std::string clock_text(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const std::int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  std::string out;
  if (h > 0) {
    out = std::to_string(h) + ":";
    if (m < 10) out += "0";
  }
  out += std::to_string(m) + ":";
  if (s < 10) out += "0";
  return out + std::to_string(s);
}

std::string progress_line(std::size_t done, std::size_t total, std::size_t failed, double elapsed_seconds) {
  // Whole seconds; the clamp keeps the conversion in range whatever the clock says.
  auto whole = [](double s) -> std::int64_t {
    if (!(s > 0)) return 0;
    if (s > 1e12) return 1000000000000;
    return static_cast<std::int64_t>(s);
  };
  std::string line = "wavefft-batch: " + std::to_string(done) + "/" + std::to_string(total) + " done, " +
                     std::to_string(failed) + " failed, " + clock_text(whole(elapsed_seconds)) + " elapsed";
  if (done > 0 && done < total) {
    const double left = elapsed_seconds / static_cast<double>(done) * static_cast<double>(total - done);
    line += ", about " + clock_text(whole(left + 0.5)) + " left";
  }
  return line;
}

std::string tally(const std::vector<std::string>& statuses) {
  std::map<std::string, std::size_t> counts;
  for (const auto& s : statuses) ++counts[s];
  std::string out;
  for (const auto& [status, n] : counts) out += std::to_string(n) + " " + status + "\n";
  return out;
}

std::string one_line(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return out;
}

}  // namespace wavefft::batch
