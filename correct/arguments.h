// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of wavefft-correct, read into Settings.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "correct/correct.h"

namespace wavefft::correct {

struct Arguments {
  std::optional<std::string> out;      // -o; empty: standard output
  std::optional<std::string> summary;  // --summary
  std::optional<std::string> unit;     // --unit: the values' unit, over the header's word
  std::string record;
  Settings settings;  // gal_per_unit is the record's, set later
};

/// The arguments, or why they are refused: `usage` for wrong arguments (an
/// unknown option, a missing value, no RECORD or two: exit status 2),
/// `refusal` for a value an option does not take ("--order 0": status 1).
struct ParsedArguments {
  Arguments arguments;
  std::optional<std::string> usage;
  std::optional<std::string> refusal;
};

/// The command's --help text; its lines up to the first empty one are the
/// synopsis that a usage error repeats.
extern const std::string_view kHelp;

/// Reads the words after the command's name. "--order 4" and "--order=4"
/// alike; "--" ends the options.
ParsedArguments parse_arguments(std::span<const std::string_view> words);

}  // namespace wavefft::correct
