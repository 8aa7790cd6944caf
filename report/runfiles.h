// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the files that one wavefft run leaves in its folder: the echo file
// "fort.99", the amplitude spectrum "amp3.csv" and the waveform CSV.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace wavefft::report {

/// A file that cannot be found or read, or whose content is not what the
/// run writes. The message names the file and, where it helps, the line.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Result of reading one number field.
enum class FieldKind {
  Number,    // a value (finite, or Infinity / NaN as the run writes them)
  Overflow,  // a field of asterisks: the value did not fit its width
  Bad,       // anything else
};

struct Field {
  FieldKind kind = FieldKind::Bad;
  double value = 0.0;
};

/// Reads one number as the run writes it (records::kWrittenNumber): "0.01",
/// "-0.5", "0.", "1.2E-005", "1.E+009", "0.1500E+01", the three-digit
/// exponent without "E" ("0.1000-100"), "Infinity", "-Inf", "NaN". Blanks,
/// tabs and carriage returns around it are ignored. A value beyond the
/// double range saturates to an infinity or a zero of its sign, as the
/// program itself reads it. A field of asterisks is FieldKind::Overflow.
Field parse_field(std::string_view text);

/// Time series: a time axis and three components of the same length.
struct Series {
  std::vector<double> time;
  std::array<std::vector<double>, 3> comp;
  std::size_t size() const { return time.size(); }
};

/// The echo file `bytes`: one line per input record with the time and the
/// three components as read (blank-separated numbers). Empty lines are
/// passed over. `name` is used in messages.
Series read_echo(std::string_view bytes, const std::string& name);

/// The amplitude spectrum file, one row per line from zero frequency to the
/// Nyquist line.
struct Spectrum {
  std::vector<double> freq;  // Hz, evenly spaced from 0
  std::array<std::vector<double>, 3> amp;
  double df = 0.0;                      // frequency step, Hz (0 when unknown)
  std::size_t overflowed_freq = 0;      // rows whose frequency field was asterisks
  std::size_t size() const { return freq.size(); }
};

/// Reads the bytes of "amp3.csv": the header " frequency(Hz),comp1, comp2,
/// comp3", then rows "F8.4,E12.4,E12.4,E12.4," (the trailing comma may be
/// missing). Frequencies written as asterisks and the rounding of the
/// printed ones are replaced by the even grid i * df, df taken from the
/// highest readable row.
Spectrum read_spectrum(std::string_view bytes, const std::string& name);

/// The processed waveform file.
struct Waveform {
  Series series;                    // time column as written; see below
  std::size_t overflowed_time = 0;  // rows whose time field was asterisks
};

/// Reads the bytes of the waveform file: the header " time(s),comp1, comp2,
/// comp3", then rows "F8.3,E12.4,E12.4,E12.4,". A time written as asterisks
/// is replaced by extrapolating the two rows before it (row index when
/// there are none).
Waveform read_waveform(std::string_view bytes, const std::string& name);

/// True when `first_line` is the header line of a waveform file.
bool is_waveform_header(std::string_view first_line);

/// The waveform file of a run folder: `wave` when it is not empty (relative
/// names are taken in `dir`), otherwise the one CSV file in `dir` other than
/// "amp3.csv" whose first line is a waveform header. Throws FileError when
/// there is none or more than one.
std::filesystem::path find_waveform(const std::filesystem::path& dir, const std::string& wave);

/// Everything read from one run folder.
struct RunFiles {
  std::filesystem::path dir;
  std::filesystem::path wave_path;
  Series input;      // fort.99
  Spectrum spectrum; // amp3.csv
  Waveform output;   // the waveform file
};

/// Reads the three files of a run folder. Throws FileError for a missing or
/// unreadable file.
RunFiles read_run(const std::filesystem::path& dir, const std::string& wave);

}  // namespace wavefft::report
