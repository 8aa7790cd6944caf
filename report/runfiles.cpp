#include "report/runfiles.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <system_error>

namespace wavefft::report {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Converts the whole of `s` (no leading '+') to a double. Values beyond the
// double range become an infinity or zero of the right sign, as the program
// itself would have read them.
bool to_double(std::string_view s, double& out) {
  if (s.empty()) return false;
  const char* first = s.data();
  const char* last = s.data() + s.size();
  const auto [ptr, ec] = std::from_chars(first, last, out);
  if (ptr != last) return false;
  if (ec == std::errc()) return true;
  if (ec != std::errc::result_out_of_range) return false;
  const std::string copy(s);  // strtod gives the saturated value
  out = std::strtod(copy.c_str(), nullptr);
  return true;
}

std::string where(const std::string& name, std::size_t line) {
  return name + " line " + std::to_string(line) + ": ";
}

// Splits a CSV row at commas. A row that ends with a comma (as every row the
// run writes does) yields an empty last field, which is dropped.
std::vector<std::string_view> split_row(std::string_view row) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = row.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(row.substr(start));
      break;
    }
    fields.push_back(row.substr(start, comma - start));
    start = comma + 1;
  }
  if (fields.size() > 1 && trim(fields.back()).empty()) fields.pop_back();
  return fields;
}

std::ifstream open_input(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) throw FileError(path.string() + ": no such file");
  if (std::filesystem::is_directory(path, ec)) throw FileError(path.string() + ": is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path.string() + ": cannot be opened for reading");
  return in;
}

std::string strip_cr(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Reads the four fields of one CSV data row into `values` (NaN for a field
// of asterisks); `first_overflowed` tells whether the first field was one.
void read_csv_row(std::string_view row, const std::string& name, std::size_t line_no,
                  std::array<double, 4>& values, bool& first_overflowed) {
  const auto fields = split_row(row);
  if (fields.size() != 4) {
    throw FileError(where(name, line_no) + "expected 4 comma-separated fields, found " +
                    std::to_string(fields.size()));
  }
  first_overflowed = false;
  for (std::size_t i = 0; i < 4; ++i) {
    const Field f = parse_field(fields[i]);
    if (f.kind == FieldKind::Bad) {
      throw FileError(where(name, line_no) + "field " + std::to_string(i + 1) + " is not a number: \"" +
                      std::string(trim(fields[i])) + "\"");
    }
    values[i] = f.kind == FieldKind::Number ? f.value : kNaN;
    if (i == 0 && f.kind == FieldKind::Overflow) first_overflowed = true;
  }
}

}  // namespace

Field parse_field(std::string_view text) {
  std::string_view s = trim(text);
  if (s.empty()) return {};
  if (std::all_of(s.begin(), s.end(), [](char c) { return c == '*'; })) return {FieldKind::Overflow, kNaN};
  if (s.front() == '+') {
    s.remove_prefix(1);
    if (s.empty() || s.front() == '+' || s.front() == '-') return {};
  }
  double v = 0.0;
  if (to_double(s, v)) return {FieldKind::Number, v};
  // The exponent form with three exponent digits leaves out the "E":
  // "0.1000-100" is 0.1000E-100. The mantissa is digits and one point only.
  const std::size_t sign = s.find_first_of("+-", 1);
  if (sign == std::string_view::npos) return {};
  const std::string_view mantissa = s.substr(0, sign);
  const std::string_view exponent = s.substr(sign + 1);
  const std::string_view digits = mantissa.front() == '-' ? mantissa.substr(1) : mantissa;
  if (!all_digits(exponent) || digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) ||
      std::count(digits.begin(), digits.end(), '.') > 1 || digits == ".") {
    return {};
  }
  std::string joined(mantissa);
  joined += 'e';
  joined += s[sign];
  joined += exponent;
  if (to_double(joined, v)) return {FieldKind::Number, v};
  return {};
}

Series read_echo(std::istream& in, const std::string& name) {
  Series s;
  std::string line;
  std::size_t line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    std::string_view rest = trim(line);
    if (rest.empty()) continue;
    std::array<double, 4> v{};
    std::size_t count = 0;
    while (!rest.empty()) {
      const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
      const std::string_view token = rest.substr(0, end);
      rest = trim(rest.substr(end));
      const Field f = parse_field(token);
      if (f.kind != FieldKind::Number) {
        throw FileError(where(name, line_no) + "not a number: \"" + std::string(token) + "\"");
      }
      if (count < 4) v[count] = f.value;
      ++count;
    }
    if (count != 4) {
      throw FileError(where(name, line_no) + "expected 4 numbers (time and three components), found " +
                      std::to_string(count));
    }
    s.time.push_back(v[0]);
    for (std::size_t c = 0; c < 3; ++c) s.comp[c].push_back(v[c + 1]);
  }
  if (in.bad()) throw FileError(name + ": read error");
  return s;
}

// The data rows after a CSV file's header line: each row's four numbers and
// whether its first field overflowed; empty lines are passed over.
template <typename Row>
void for_each_csv_row(std::istream& in, const std::string& name, Row&& row) {
  std::string line;
  std::size_t line_no = 1;
  while (std::getline(in, line)) {
    ++line_no;
    line = strip_cr(line);
    if (trim(line).empty()) continue;
    std::array<double, 4> v{};
    bool overflowed = false;
    read_csv_row(line, name, line_no, v, overflowed);
    row(v, overflowed);
  }
}

Spectrum read_spectrum(std::istream& in, const std::string& name) {
  Spectrum sp;
  std::string line;
  if (!std::getline(in, line)) throw FileError(name + ": empty file");
  line = strip_cr(line);
  if (trim(line).substr(0, 13) != "frequency(Hz)") {
    throw FileError(name + ": not an amplitude spectrum file (its first line does not begin with \"frequency(Hz)\")");
  }
  for_each_csv_row(in, name, [&sp](const std::array<double, 4>& v, bool overflowed) {
    if (overflowed) ++sp.overflowed_freq;
    sp.freq.push_back(v[0]);
    for (std::size_t c = 0; c < 3; ++c) sp.amp[c].push_back(v[c + 1]);
  });
  if (in.bad()) throw FileError(name + ": read error");
  if (sp.freq.empty()) throw FileError(name + ": no data rows");

  // The frequency of row i is i * df. Take df from the highest row whose
  // frequency could be read: its rounding error is smallest relative to it.
  std::size_t k = sp.freq.size();
  while (k > 1 && !std::isfinite(sp.freq[k - 1])) --k;
  if (k > 1) {
    const std::size_t last = k - 1;
    sp.df = sp.freq[last] / static_cast<double>(last);
    bool even = true;
    for (std::size_t i = 0; i < sp.freq.size() && even; ++i) {
      if (std::isfinite(sp.freq[i])) even = std::fabs(sp.freq[i] - static_cast<double>(i) * sp.df) <= 1.5e-4;
    }
    for (std::size_t i = 0; i < sp.freq.size(); ++i) {
      if (even || !std::isfinite(sp.freq[i])) sp.freq[i] = static_cast<double>(i) * sp.df;
    }
  }
  return sp;
}

bool is_waveform_header(std::string_view first_line) {
  return trim(first_line).substr(0, 7) == "time(s)";
}

Waveform read_waveform(std::istream& in, const std::string& name) {
  Waveform w;
  std::string line;
  if (!std::getline(in, line)) throw FileError(name + ": empty file");
  line = strip_cr(line);
  if (!is_waveform_header(line)) {
    throw FileError(name + ": not a waveform file (its first line does not begin with \"time(s)\")");
  }
  for_each_csv_row(in, name, [&w](const std::array<double, 4>& v, bool overflowed) {
    if (overflowed) ++w.overflowed_time;
    w.series.time.push_back(v[0]);
    for (std::size_t c = 0; c < 3; ++c) w.series.comp[c].push_back(v[c + 1]);
  });
  if (in.bad()) throw FileError(name + ": read error");
  auto& t = w.series.time;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (std::isfinite(t[i])) continue;
    if (i >= 2) {
      t[i] = t[i - 1] + (t[i - 1] - t[i - 2]);
    } else {
      t[i] = static_cast<double>(i);
    }
  }
  return w;
}

std::filesystem::path find_waveform(const std::filesystem::path& dir, const std::string& wave) {
  namespace fs = std::filesystem;
  if (!wave.empty()) {
    const fs::path p = fs::path(wave).is_absolute() ? fs::path(wave) : dir / wave;
    std::error_code ec;
    if (!fs::is_regular_file(p, ec)) throw FileError(p.string() + ": no such file (the waveform file named by --wave)");
    return p;
  }
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) throw FileError(dir.string() + ": cannot list the folder: " + ec.message());
  std::vector<fs::path> found;
  for (const auto& entry : it) {
    std::error_code fec;
    if (!entry.is_regular_file(fec)) continue;
    const fs::path& p = entry.path();
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".csv" || p.filename() == "amp3.csv") continue;
    std::ifstream in(p, std::ios::binary);
    std::string first;
    first.resize(64);
    in.read(first.data(), static_cast<std::streamsize>(first.size()));
    first.resize(static_cast<std::size_t>(in.gcount()));
    first = strip_cr(first.substr(0, first.find('\n')));
    if (is_waveform_header(first)) found.push_back(p);
  }
  std::sort(found.begin(), found.end());
  if (found.empty()) {
    throw FileError(dir.string() +
                    ": no waveform file (no CSV file other than amp3.csv begins with \" time(s)\"); name it with --wave");
  }
  if (found.size() > 1) {
    std::string names;
    for (const auto& p : found) {
      // appended piecewise: `" " + string` trips a false -Wrestrict in g++ 12 -O3
      names += ' ';
      names += p.filename().string();
    }
    throw FileError(dir.string() + ": more than one waveform file (" + names.substr(1) + "); choose one with --wave");
  }
  return found.front();
}

RunFiles read_run(const std::filesystem::path& dir, const std::string& wave) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) throw FileError(dir.string() + ": no such folder");
  RunFiles r;
  r.dir = dir;
  const auto echo_path = dir / "fort.99";
  const auto amp_path = dir / "amp3.csv";
  // Name every missing file at once: a run that stopped early leaves some.
  std::string missing;
  for (const auto& p : {echo_path, amp_path}) {
    if (!std::filesystem::is_regular_file(p, ec)) missing += (missing.empty() ? "" : ", ") + p.filename().string();
  }
  if (!missing.empty()) {
    throw FileError(dir.string() + ": missing " + missing +
                    " (is this the folder of a wavefft run that went to the end?)");
  }
  r.wave_path = find_waveform(dir, wave);
  {
    auto in = open_input(echo_path);
    r.input = read_echo(in, echo_path.string());
  }
  {
    auto in = open_input(amp_path);
    r.spectrum = read_spectrum(in, amp_path.string());
  }
  {
    auto in = open_input(r.wave_path);
    r.output = read_waveform(in, r.wave_path.string());
  }
  if (r.input.size() == 0) throw FileError(echo_path.string() + ": no records");
  return r;
}

}  // namespace wavefft::report
