// SPDX-License-Identifier: GPL-3.0-or-later
// The EAS columns of the catalogue (see eas_columns.h).
#include "batch/eas_columns.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "common/numbers.h"
#include "common/units.h"
#include "measures/fas.h"
#include "measures/measures.h"
#include "records/record.h"

namespace wavefft::batch {
namespace {

// A smoothed value as a cell: empty for an empty one (NaN).
std::string cell(double v) { return std::isfinite(v) ? common::shortest(v) : std::string(); }

}  // namespace

EasCells eas_cells(const std::array<std::span<const double>, 3>& a, double dt) {
  // One thread: the batch already runs its records side by side.
  const measures::FourierSpectra spectra = measures::fourier_spectra(a, dt, kEasFrequencies, measures::Smoothing{}, 1);
  return EasCells{cell(spectra.eas.at(0)), cell(spectra.eas.at(1))};
}

EasCells record_eas_cells(const std::filesystem::path& record, std::string_view unit, std::optional<double> dt) {
  return read_measured_record(record, unit, dt).eas;
}

MeasuredRecord read_measured_record(const std::filesystem::path& record, std::string_view unit,
                                    std::optional<double> dt) {
  const std::optional<common::Unit> u = common::parse_acceleration_unit(unit);
  if (!u) throw std::runtime_error("unknown unit \"" + std::string(unit) + "\"");
  records::RecordFile rec = records::read_record_file(record);  // RecordError is a runtime_error
  if (dt) rec.dt = *dt;
  for (std::vector<double>& c : rec.comp) {
    if (!measures::scale_to_m_s2(c, *u)) throw std::runtime_error("no acceleration unit");
  }
  try {
    return MeasuredRecord{eas_cells({rec.comp[0], rec.comp[1], rec.comp[2]}, rec.dt), rec.dt, rec.comp[0].size()};
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error(e.what());
  }
}

}  // namespace wavefft::batch
