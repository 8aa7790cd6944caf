// SPDX-License-Identifier: GPL-3.0-or-later
// Unit words of agency files (contract in unit_text.h).
#include "import/unit_text.h"

#include <cctype>

#include "import/words.h"

namespace wavefft::import {

namespace {

// Which conventions take a spelling (a bit each).
constexpr unsigned kVolume = 1;
constexpr unsigned kEsm = 2;
constexpr unsigned kResponse = 4;

/// Spellings of one unit that the same conventions take, blank-separated;
/// every convention compares letters without case.
struct Spellings {
  Unit unit;
  unsigned conventions;
  std::string_view texts;
};

constexpr Spellings kSpellings[] = {
    {Unit::g, kVolume | kEsm | kResponse, "g"},
    {Unit::gal, kVolume | kEsm | kResponse, "gal cm/s/s cm/s^2 cm/s**2"},
    {Unit::gal, kVolume, "cm/s2 cm/sec2 cm/sec/sec cm/sec**2"},
    {Unit::m_s2, kVolume | kEsm | kResponse, "m/s/s m/s^2 m/s**2"},
    {Unit::m_s2, kVolume, "m/s2 m/sec2"},
    {Unit::mm_s2, kVolume | kEsm, "mm/s/s mm/s^2 mm/s**2"},
    {Unit::mm_s2, kVolume, "mm/s2 mm/sec2"},
    {Unit::counts, kVolume, "counts count"},
};

/// The unit of the first spelling of `convention` that `t` is.
std::optional<Unit> look_up(std::string_view t, unsigned convention) {
  for (const Spellings& s : kSpellings) {
    if ((s.conventions & convention) == 0) continue;
    for (const std::string_view w : text::split_words(s.texts)) {
      if (text::equals_nocase(t, w)) return s.unit;
    }
  }
  return std::nullopt;
}

/// Any white space off both ends (XML text may hold line ends).
std::string_view trim_space(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<Unit> unit_from_text(std::string_view text, UnitConvention convention) {
  switch (convention) {
    case UnitConvention::volume: {
      // " cm/sec2. " -> "cm/sec2"
      std::string_view t = text::trim(text);
      while (!t.empty() && t.back() == '.') t.remove_suffix(1);
      return look_up(text::trim(t), kVolume);
    }
    case UnitConvention::esm:
      // " Gal " -> gal, "CM/S^2" -> gal; "cm/s2" -> nothing
      return look_up(text::trim(text), kEsm);
    case UnitConvention::response:
      // "\n M/S**2 \n" -> m_s2; "MM/S**2" -> nothing
      return look_up(trim_space(text), kResponse);
    case UnitConvention::peer: {
      // "CM/SEC/SEC" -> gal; "G" -> g; "GALS" -> nothing
      const std::string_view t = text::trim(text);
      if (text::equals_nocase(t, "G")) return Unit::g;
      if (text::starts_with_nocase(t, "CM/S")) return Unit::gal;
      if (text::starts_with_nocase(t, "M/S")) return Unit::m_s2;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace wavefft::import
