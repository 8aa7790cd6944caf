// The two record readers: the program's input layout and the waveform file
// that wavefft writes. Every failure is one RecordFault, turned into the
// message in one place (fault_message).
#include "measures/record_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>
#include <thread>
#include <utility>


namespace wavefft::measures {

namespace {

// What is wrong with a record file.
enum class RecordFault {
  unreadable,       // the file cannot be opened or read (text: the system's reason)
  empty,            // no bytes at all
  no_titles,        // the input layout ends after its header line
  field_count,      // a row has the wrong number of fields (count: how many)
  not_a_number,     // a field is no number in any form the program writes (text)
  overflowed,       // a field of asterisks: the writer could not fit the value (text)
  not_finite,       // Infinity, NaN or a value beyond the double range (text)
  too_few_samples,  // fewer than two data rows (count)
  bad_interval,     // time(2) - time(1) is not positive (value)
};

struct Fault {
  Fault(RecordFault k, std::size_t at = 0, std::string what = {}, std::size_t n = 0)
      : kind(k), line(at), text(std::move(what)), count(n) {}
  RecordFault kind;
  std::size_t line = 0;   // 1-based; 0 when the fault is the whole file's
  std::string text;       // the bad text, or the system's reason
  std::size_t count = 0;  // fields found, samples found
  std::string field;      // "time", "value 11", "comp2", ...
  double value = 0.0;     // the bad interval
};

std::string fault_message(const std::string& name, const Fault& f) {
  std::string at = name;
  if (f.line != 0) at += ":" + std::to_string(f.line);
  at += ": ";
  switch (f.kind) {
    case RecordFault::unreadable: return at + "cannot read the file: " + f.text;
    case RecordFault::empty: return at + "empty file";
    case RecordFault::no_titles: return at + "no column-title line after the header line, and no data";
    case RecordFault::field_count: return at + "expected " + f.text + ", found " + std::to_string(f.count) + " fields";
    case RecordFault::not_a_number: return at + f.field + " is not a number: \"" + f.text + "\"";
    case RecordFault::overflowed:
      return at + f.field + " is \"" + f.text + "\": the value did not fit its field when the file was written";
    case RecordFault::not_finite: return at + f.field + " is not a finite number: \"" + f.text + "\"";
    case RecordFault::too_few_samples:
      return at + "fewer than two samples (found " + std::to_string(f.count) + "); the sample interval is unknown";
    case RecordFault::bad_interval: {
      char buf[64];
      const auto r = std::to_chars(buf, buf + sizeof buf, f.value);
      return at + "the sample interval time(2) - time(1) = " + std::string(buf, r.ptr) + " s is not positive";
    }
  }
  return at + "unreadable record";
}

[[noreturn]] void fail(const std::string& name, const Fault& f) { throw RecordError(fault_message(name, f)); }

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

enum class Parsed { number, not_a_number, overflowed, out_of_range };

// One number in any form the program writes: "0.01", "-.5678E+00", "0.",
// "1.E+009", "+2", the three-digit exponent without "E" ("0.1000-100" is
// 0.1000E-100), "Infinity", "-Inf", "NaN". A field of asterisks is
// Parsed::overflowed; "1e999" is out_of_range.
Parsed parse_number(std::string_view s, double& v) {
  if (s.empty()) return Parsed::not_a_number;
  if (std::all_of(s.begin(), s.end(), [](char c) { return c == '*'; })) return Parsed::overflowed;
  if (s.front() == '+') {
    s.remove_prefix(1);
    if (s.empty() || s.front() == '+' || s.front() == '-') return Parsed::not_a_number;
  }
  const char* end = s.data() + s.size();
  auto r = std::from_chars(s.data(), end, v);
  if (r.ptr == end) {
    if (r.ec == std::errc()) return Parsed::number;
    if (r.ec == std::errc::result_out_of_range) return Parsed::out_of_range;
  }
  // "0.1000-100": digits with at most one point, a sign, exponent digits.
  const std::size_t sign = s.find_first_of("+-", 1);
  if (sign == std::string_view::npos) return Parsed::not_a_number;
  const std::string_view mantissa = s.substr(0, sign);
  const std::string_view exponent = s.substr(sign + 1);
  const std::string_view digits = mantissa.front() == '-' ? mantissa.substr(1) : mantissa;
  if (!all_digits(exponent) || digits.empty() || digits == "." ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) ||
      std::count(digits.begin(), digits.end(), '.') > 1) {
    return Parsed::not_a_number;
  }
  std::string joined(mantissa);
  joined += 'e';
  joined += s.substr(sign);
  r = std::from_chars(joined.data(), joined.data() + joined.size(), v);
  if (r.ptr != joined.data() + joined.size()) return Parsed::not_a_number;
  return r.ec == std::errc() ? Parsed::number : Parsed::out_of_range;
}

// A finite number from field `field` of line `line`, or the fault.
double read_value(std::string_view text, const std::string& name, std::size_t line, const char* field,
                  std::size_t index) {
  double v = 0.0;
  const Parsed p = parse_number(text, v);
  if (p == Parsed::number && std::isfinite(v)) return v;
  Fault f(RecordFault::not_a_number, line, std::string(text));
  f.field = field;
  if (index != 0) f.field += " " + std::to_string(index);
  if (p == Parsed::overflowed) f.kind = RecordFault::overflowed;
  if (p == Parsed::out_of_range || (p == Parsed::number && !std::isfinite(v))) f.kind = RecordFault::not_finite;
  fail(name, f);
}

// Walks the lines of `bytes`: each without its line end ("\n" or "\r\n").
class Lines {
 public:
  explicit Lines(std::string_view bytes) : rest_(bytes) {}
  bool next(std::string_view& line) {
    if (done_) return false;
    const std::size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
      line = rest_;
      done_ = true;
      if (line.empty()) return false;  // nothing after the last line end
    } else {
      line = rest_.substr(0, end);
      rest_.remove_prefix(end + 1);
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }
  // The bytes not yet walked.
  std::string_view rest() const { return done_ ? std::string_view() : rest_; }
  // An upper bound of the lines still to come.
  std::size_t remaining_lines() const { return static_cast<std::size_t>(std::count(rest_.begin(), rest_.end(), '\n')) + 1; }

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
  bool done_ = false;
};

void check_samples(RecordFile& rec, const std::vector<double>& time, const std::string& name, std::size_t line2) {
  if (time.size() < 2) fail(name, Fault(RecordFault::too_few_samples, 0, {}, time.size()));
  rec.dt = time[1] - time[0];
  if (!(rec.dt > 0.0) || !std::isfinite(rec.dt)) {
    Fault f(RecordFault::bad_interval, line2);
    f.value = rec.dt;
    fail(name, f);
  }
}

// The data rows of the input layout, "0.000 v1 v2 ... v42" (blank-separated;
// components are v1, v2, v11), appended to `time` and `comp`. `line2` gets
// the line of the second sample when it is among these rows.
// `room` scales the room reserved for them (the first of two halves makes
// room for both, so that joining them does not move it).
void parse_input_rows(Lines& lines, const std::string& name, std::vector<double>& time,
                      std::array<std::vector<double>, 3>& comp, std::size_t& line2, double room = 1.0) {
  const std::size_t lines_left = lines.remaining_lines();
  const std::size_t rows =
      room > 1.0 ? static_cast<std::size_t>(static_cast<double>(lines_left) * room) + 16 : lines_left;
  time.reserve(time.size() + rows);
  for (auto& c : comp) c.reserve(c.size() + rows);
  std::string_view line;
  while (lines.next(line)) {
    const char* p = line.data();
    const char* const e = p + line.size();
    while (p != e && blank(*p)) ++p;
    if (p == e) continue;
    std::size_t index = 0;  // 0: the time, k: value k
    while (p != e) {
      const char* q = p + 1;
      if (*p == '0' && (q == e || blank(*q)) && index != 0 && index != 1 && index != 2 && index != 11) {
        // An unused value "0" (the most common field): nothing to check.
      } else {
        while (q != e && !blank(*q)) ++q;
        const std::string_view token(p, static_cast<std::size_t>(q - p));
        if (index == 0) {
          time.push_back(read_value(token, name, lines.number(), "time", 0));
        } else if (index == 1 || index == 2 || index == 11) {
          const std::size_t c = index == 11 ? 2 : index - 1;
          comp[c].push_back(read_value(token, name, lines.number(), "value", index));
        } else if (index <= 42) {
          // The other values are not used, but the row must still be numbers.
          read_value(token, name, lines.number(), "value", index);
        }
      }
      p = q;
      while (p != e && blank(*p)) ++p;
      ++index;
    }
    if (index != 43) {
      fail(name, Fault(RecordFault::field_count, lines.number(), "the time and 42 values (43 fields)", index));
    }
    if (time.size() == 2) line2 = lines.number();
  }
}

// Rows of at least this many bytes are parsed in two halves at once.
constexpr std::size_t kSplitBytes = std::size_t{1} << 20;

// The rows parsed as two halves, split at the line end nearest the middle,
// in two threads. False when either half fails or the first half holds
// fewer than two samples or gives an interval that is not positive: the
// caller then parses the rows in one pass, which reports the fault with its
// true line number.
bool parse_input_rows_split(std::string_view rows, const std::string& name, std::vector<double>& time,
                            std::array<std::vector<double>, 3>& comp) {
  const std::size_t cut = rows.find('\n', rows.size() / 2);
  if (cut == std::string_view::npos || cut + 1 >= rows.size()) return false;
  struct Half {
    std::vector<double> time;
    std::array<std::vector<double>, 3> comp;
    bool ok = false;
  };
  auto parse_half = [&name](std::string_view bytes, Half& half, double room) {
    try {
      Lines lines(bytes);
      std::size_t unused_line2 = 0;
      parse_input_rows(lines, name, half.time, half.comp, unused_line2, room);
      half.ok = true;
    } catch (...) {
      half.ok = false;  // the serial pass reports it
    }
  };
  Half second;
  std::thread worker;
  try {
    worker = std::thread(parse_half, rows.substr(cut + 1), std::ref(second), 1.0);
  } catch (const std::system_error&) {
    return false;  // no thread to be had: one pass
  }
  Half first;
  // Room for both halves, from the bytes' ratio and a little more (rows of
  // equal length: a hair over 2); too little only costs a move.
  parse_half(rows.substr(0, cut + 1), first, 1.01 * static_cast<double>(rows.size()) / static_cast<double>(cut + 1));
  worker.join();
  if (!first.ok || !second.ok || first.time.size() < 2) return false;
  const double dt = first.time[1] - first.time[0];
  if (!(dt > 0.0) || !std::isfinite(dt)) return false;
  time = std::move(first.time);
  time.insert(time.end(), second.time.begin(), second.time.end());
  for (std::size_t c = 0; c < 3; ++c) {
    comp[c] = std::move(first.comp[c]);
    comp[c].insert(comp[c].end(), second.comp[c].begin(), second.comp[c].end());
  }
  return true;
}

// The input layout: "Event Station acceleration g", a title line, then
// the data rows.
RecordFile parse_input_layout(std::string_view first, Lines& lines, const std::string& name) {
  RecordFile rec;
  rec.kind = RecordFile::Kind::input_layout;
  std::vector<std::string_view> words;
  for (std::string_view s = trim(first); !s.empty(); s = trim(s)) {
    std::size_t end = 0;
    while (end < s.size() && !blank(s[end])) ++end;
    words.push_back(s.substr(0, end));
    s.remove_prefix(end);
  }
  if (!words.empty()) rec.event = std::string(words[0]);
  if (words.size() > 1) rec.station = std::string(words[1]);
  if (words.size() > 3) rec.unit = parse_unit(words[3]);

  std::string_view line;
  if (!lines.next(line)) fail(name, Fault(RecordFault::no_titles, 1));
  std::vector<double> time;
  if (lines.rest().size() >= kSplitBytes && parse_input_rows_split(lines.rest(), name, time, rec.comp)) {
    // Both halves parsed and dt is positive: the check cannot fail.
    check_samples(rec, time, name, 0);
    return rec;
  }
  std::size_t line2 = 0;
  parse_input_rows(lines, name, time, rec.comp, line2);
  check_samples(rec, time, name, line2);
  return rec;
}

// The waveform file: " time(s),comp1, comp2, comp3", then rows
// "   0.000, 0.1234E-01, -.5678E+00, 0.1000E+01," (the last comma optional).
RecordFile parse_waveform(Lines& lines, const std::string& name) {
  static const char* const kFields[] = {"time", "comp1", "comp2", "comp3"};
  RecordFile rec;
  rec.kind = RecordFile::Kind::waveform;
  std::vector<double> time;
  std::size_t line2 = 0;
  std::string_view line;
  while (lines.next(line)) {
    std::string_view s = line;
    if (trim(s).empty()) continue;
    std::array<std::string_view, 4> fields;
    std::size_t count = 0;
    for (;;) {
      const std::size_t comma = s.find(',');
      const std::string_view field = trim(s.substr(0, comma));
      // "a, b, c, d," ends in one empty field, which is not counted.
      const bool last = comma == std::string_view::npos;
      if (!(last && field.empty() && count > 0)) {
        if (count < 4) fields[count] = field;
        ++count;
      }
      if (last) break;
      s.remove_prefix(comma + 1);
    }
    if (count != 4) fail(name, Fault(RecordFault::field_count, lines.number(), "the time and three components", count));
    time.push_back(read_value(fields[0], name, lines.number(), kFields[0], 0));
    for (std::size_t c = 0; c < 3; ++c) rec.comp[c].push_back(read_value(fields[c + 1], name, lines.number(), kFields[c + 1], 0));
    if (time.size() == 2) line2 = lines.number();
  }
  check_samples(rec, time, name, line2);
  return rec;
}

}  // namespace

RecordFile parse_record(std::string_view bytes, const std::string& name) {
  if (bytes.empty()) fail(name, Fault(RecordFault::empty));
  Lines lines(bytes);
  std::string_view first;
  lines.next(first);
  // " time(s),comp1, comp2, comp3" -> waveform file; anything else is the
  // input layout's header line.
  if (trim(first).starts_with("time(s),")) return parse_waveform(lines, name);
  return parse_input_layout(first, lines, name);
}

RecordFile read_record_file(const std::filesystem::path& path) {
  const std::string name = path.string();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) fail(name, Fault(RecordFault::unreadable, 0, "it is a folder"));
  // A regular file is mapped, not copied: a 10 MB record is parsed in place.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail(name, Fault(RecordFault::unreadable, 0, std::strerror(errno)));
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const auto size = static_cast<std::size_t>(st.st_size);
    // Populated at once: every byte is read, and one call is cheaper than
    // a page fault per few pages.
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) fail(name, Fault(RecordFault::unreadable, 0, std::strerror(errno)));
    struct Unmap {
      void* p;
      std::size_t n;
      ~Unmap() { ::munmap(p, n); }
    } guard{map, size};
    return parse_record(std::string_view(static_cast<const char*>(map), size), name);
  }
  // Anything else (a pipe, an empty file): read it through.
  std::string bytes;
  char block[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int err = errno;
      ::close(fd);
      fail(name, Fault(RecordFault::unreadable, 0, std::strerror(err)));
    }
    if (got == 0) break;
    bytes.append(block, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return parse_record(bytes, name);
}

}  // namespace wavefft::measures
