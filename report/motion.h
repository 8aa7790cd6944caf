// SPDX-License-Identifier: GPL-3.0-or-later
// The ground motion of a run: the input record file behind fort.99, the
// unit of the record, the measures (peak values, Arias intensity, CAV,
// significant durations), the 5%-damped response spectra and the Fourier
// amplitude spectra of the input and, when the run left an acceleration, of
// the processed record, and the warning that a displacement drifts.
//
// The numbers come from wavefft_measures; this file chooses the records,
// converts them to m/s^2 and decides what the page shows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "measures/fas.h"
#include "measures/measures.h"
#include "records/record.h"
#include "report/measures_files.h"
#include "report/analysis.h"
#include "report/runfiles.h"

namespace wavefft::report {

/// The damping ratio of the response spectra on the page.
inline constexpr double kSpectrumDamping = 0.05;

/// A file larger than this is never taken for the input record when the
/// folder is searched (it is still read when named with --input).
inline constexpr std::uintmax_t kMaxInputSearchBytes = 64u << 20;

/// Relative difference within which a value of the input file agrees with
/// its echo in fort.99, which keeps 7 significant digits.
inline constexpr double kEchoTolerance = 2e-6;

/// The input record file of a run and where it was found.
struct InputRecord {
  std::filesystem::path path;
  records::RecordFile file;
  bool named = false;  // given with --input (otherwise found in the folder)
};

/// Whether a value of a record file agrees with its echo in fort.99: they
/// differ by at most kEchoTolerance of the larger magnitude.
bool agrees_with_echo(double file_value, double echo_value);

/// The first sample (1-based) at which `file` disagrees with the echo, or
/// 0 when it agrees everywhere. They agree when they hold the same number of
/// samples, the same dt, and every component value of the file is within
/// kEchoTolerance (relative) of the echoed one; an echo shorter or longer
/// than the file disagrees at the first sample that only one of them has.
std::size_t first_disagreement(const records::RecordFile& file, const Series& echo);

/// Searches `dir` for the input record of the run: the regular files other
/// than fort.99, amp3.csv, `skip` (the waveform file, the page) and files
/// larger than kMaxInputSearchBytes, in name order, whose first line has
/// four words (the header of the input layout); the first of them that
/// parse_record reads as the input layout and that agrees with the echo
/// (first_disagreement 0) is the one. nullopt when there is none. Files that
/// cannot be read are passed over.
std::optional<InputRecord> find_input_record(const std::filesystem::path& dir, const Series& echo,
                                             const std::vector<std::filesystem::path>& skip);

/// Reads the input record named with --input (relative to `dir` unless
/// absolute). Throws FileError when it cannot be read, is not in the input
/// layout, or disagrees with the echo: the message names the file, the line
/// and component, and both values.
InputRecord read_input_record(const std::filesystem::path& dir, const std::string& name, const Series& echo);

/// read_input_record in its two steps, so that the file can be read before
/// fort.99 is: load_named_input reads it (FileError when it cannot be read
/// or is not in the input layout), check_named_input compares it with the
/// echo (FileError when they disagree).
InputRecord load_named_input(const std::filesystem::path& dir, const std::string& name);
void check_named_input(const InputRecord& input, const Series& echo);

/// Cumulative trapezoidal integral of `x` sampled every `dt`, starting at 0:
/// y[0] = 0, y[i] = y[i-1] + (x[i-1] + x[i]) dt / 2.
std::vector<double> integrate(std::span<const double> x, double dt);

/// The drift test of a displacement `d`: true when |d| grows steadily to
/// the end of the record, that is
///  - the largest |d| lies in the last 5% of the samples (index >= n - ceil(n/20)), and
///  - the last quarter (the last floor(n/4) samples), cut into kDriftWindows
///    equal windows (the remainder going to the first window), has a larger
///    max |d| in each window than in the one before for at least
///    kDriftRises of the kDriftWindows - 1 steps.
/// False for fewer than 4 * kDriftWindows samples, a record of zeros, or a
/// non-finite value.
bool drifts(std::span<const double> d);
inline constexpr std::size_t kDriftWindows = 8;
inline constexpr std::size_t kDriftRises = 6;

/// The measures and spectra of one record (input or processed).
struct RecordMotion {
  std::string label;   // "input" or "processed"
  std::string source;  // the file the numbers come from
  double dt = 0.0;     // s
  std::array<measures::Measures, 3> measures;
  std::vector<measures::SpectrumRow> spectra;  // one row per period, kSpectrumDamping
  /// The Fourier amplitude spectra at measures::fas_frequencies(), smoothed
  /// with the default Smoothing; nullopt when they could not be had (the
  /// reason is a line in Motion::skipped).
  std::optional<measures::FourierSpectra> fas;
};

/// Everything the page shows about the ground motion.
struct Motion {
  std::optional<common::Unit> unit;  // an acceleration unit
  std::string unit_from;     // "--unit", "the header of sample.txt"; empty without a unit
  std::string unit_note;     // a header unit that --unit overrode, else empty
  std::string input_name;    // the input file used (file name), empty when none
  std::array<std::string, 3> channels;  // the input file's titles of comp1 to comp3 ("NS"); empty when unknown
  bool input_named = false;  // it was given with --input
  std::vector<RecordMotion> records;  // input first, then processed
  std::vector<std::string> skipped;   // why a record has no measures, one sentence each
  std::vector<Warning> warnings;      // kind "drift"
};

/// Which record the drift test looks at, and what it integrates.
enum class DriftSubject {
  None,                 // nothing is tested (differentiation, or a band-pass on the acceleration)
  ProcessedVelocity,    // single integration: the integral of the processed record
  ProcessedDisplacement,// double integration: the processed record itself
  InputAcceleration,    // no integration and no band-pass: the double integral of the input
};
DriftSubject drift_subject(const Analysis& a);

/// The ground motion of a run. `unit` is the --unit option (it wins over
/// the header of the input file); `input` the input file when found or
/// named. Measures and spectra (response and Fourier) need a unit: without
/// one, `records` is empty. The input's numbers come from the input file when there is one
/// (full precision), otherwise from fort.99; the processed record has them
/// only when the operation is None (it is still an acceleration) and its
/// row step is known. A record with a non-finite value or one beyond
/// 1e100 m/s^2 gets none (a line in `skipped`). The drift warning needs no
/// unit. `threads` is passed to response_spectra and fourier_spectra.
/// `handed` holds the files wavefft-measures wrote for some of the records
/// (--measures): a record they belong to takes its measures and spectra
/// from them (report/handed_motion.h); files of no record measured are a
/// FileError. Without a unit they are not used.
Motion analyse_motion(const RunFiles& run, const Analysis& a, std::optional<common::Unit> unit,
                      const std::optional<InputRecord>& input, unsigned threads = 0,
                      std::span<const MeasuresFiles> handed = {});

}  // namespace wavefft::report
