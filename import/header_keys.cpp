// SPDX-License-Identifier: GPL-3.0-or-later
// Headers of "KEY: value" lines (contracts in header_keys.h).
#include "import/header_keys.h"

#include "import/words.h"

namespace wavefft::import::text {

namespace {

bool names(std::string_view key, std::string_view name, KeyMatch match) {
  switch (match) {
    // "NDATA" and "Ndata" name NDATA
    case KeyMatch::exact: return equals_nocase(key, name);
    // " STATION ID  " names STATION ID
    case KeyMatch::prefix: return starts_with_nocase(trim(key), name);
    // "SampleRate(Hz)" and "SAMPLERATE(HZ)" name SampleRate
    case KeyMatch::bracket: return equals_nocase(key.substr(0, key.find('(')), name);
  }
  return false;
}

}  // namespace

void take_header_line(std::string_view line, std::size_t number, KeyMatch match, std::span<const HeaderKey> keys) {
  // "NUMBER OF DATA          : 28683" -> NUMBER OF DATA = "28683"
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view key = line.substr(0, colon);
  for (const HeaderKey& k : keys) {
    if (!names(key, k.name, match) || (match == KeyMatch::prefix && k.field->line != 0)) continue;
    *k.field = Field{trim(line.substr(colon + 1)), number, key};
  }
}

Problem require_keys(std::span<const HeaderKey> keys, const std::string& file, std::string_view mark) {
  for (const HeaderKey& k : keys) {
    if (k.required && k.field->line == 0) {
      return fail(file, 0, "the header has no " + std::string(mark) + std::string(k.name) + " line");
    }
  }
  return {};
}

}  // namespace wavefft::import::text
