// SPDX-License-Identifier: GPL-3.0-or-later
// The words agency files use for the unit of their values ("cm/sec2",
// "m/s**2", "Gal"), in one table, and the conventions by which each
// family of layouts reads them.
#pragma once

#include <optional>
#include <string_view>

#include "import/record.h"

namespace wavefft::import {

/// How a family of layouts writes its unit.
enum class UnitConvention {
  // COSMOS, CSMIP/CGS, GeoNet and SMC: any spelling of the table, letters
  // without case, blanks and trailing points ignored ("cm/sec2.", "G",
  // "CM/SEC/SEC", "counts").
  volume,
  // ESM/AFAD .asc: "cm/s^2", "cm/s/s", "cm/s**2", "gal", "m/s^2" ...
  // "mm/s**2" or "g", letters without case ("Gal", "CM/S^2", "G"), blanks
  // around ignored; no other spelling ("cm/s2", "cm/s/s.").
  esm,
  // StationXML InputUnits: "M/S**2", "M/S/S", "M/S^2", the same in CM,
  // "GAL" or "G", letters without case.
  response,
  // PEER .AT2 "UNITS OF ...": "G" alone, else a word starting "CM/S" is
  // gal and one starting "M/S" m_s2 ("CM/SEC/SEC", "M/S/S"), letters
  // without case.
  peer,
};

/// The unit that `text` names under `convention`; nullopt for any other
/// text (a velocity "cm/s", "furlongs", "counts" outside `volume`).
std::optional<Unit> unit_from_text(std::string_view text, UnitConvention convention);

}  // namespace wavefft::import
