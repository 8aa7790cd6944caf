// SPDX-License-Identifier: GPL-3.0-or-later
// A table of command-line options, each with the check that takes its
// value, and the one way an argument is offered to such a table. wavefft's
// processing options (cli/options.cpp) and wavefft-batch's import options
// (batch/import_step.cpp) are two such tables.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wavefft::cli {

/// Outcome of offering one argument to an option table.
enum class Take {
  not_mine,  ///< not an option of the table: the caller handles it
  taken,     ///< consumed (with its value when it has one)
  error,     ///< an option of the table with a bad or missing value: `error` says why
};

/// One option of a table.
template <class Options>
struct OptionRule {
  std::string_view name;  // "--skip"
  bool takes_value;       // its value follows as the next argument or after '='
  /// Takes `value` ("" for an option without one) into `opts`, or leaves
  /// them untouched and returns why it refuses the value.
  std::string (*check)(std::string_view value, Options& opts);
};

/// Offers argv[i] (and argv[i+1] as its value when needed) to `table`.
/// Returns not_mine when argv[i], up to a '=', names none of its options.
/// On taken, `i` is moved to the last argument used and the option's bit
/// (1 << its place in the table) is set in `seen`. On error, `error` holds
/// "NAME: REASON", REASON one of "takes no value" ("--pad=1"), "needs a
/// value" (the last argument), "given twice" (its bit already set) or what
/// the check returned; nothing else is changed.
template <class Options, std::size_t N>
Take take_from_table(int argc, const char* const* argv, int& i, const OptionRule<Options> (&table)[N], Options& opts,
                     unsigned& seen, std::string& error) {
  static_assert(N <= 32, "one bit of `seen` per option");
  if (i < 0 || i >= argc || argv[i] == nullptr) return Take::not_mine;
  const std::string_view arg = argv[i];
  const std::size_t eq = arg.find('=');
  const std::string_view name = arg.substr(0, eq);
  std::size_t k = 0;
  while (k < N && table[k].name != name) ++k;
  if (k == N) return Take::not_mine;
  const OptionRule<Options>& option = table[k];
  const std::string label(name);

  // "--skip 2" and "--skip=2"; "--integrate" alone.
  std::string_view value;
  int last = i;
  if (!option.takes_value) {
    if (eq != std::string_view::npos) {
      error = label + ": takes no value";
      return Take::error;
    }
  } else if (eq != std::string_view::npos) {
    value = arg.substr(eq + 1);
  } else if (i + 1 < argc && argv[i + 1] != nullptr) {
    value = argv[i + 1];
    last = i + 1;
  } else {
    error = label + ": needs a value";
    return Take::error;
  }

  const unsigned bit = 1u << k;
  const std::string problem = (seen & bit) != 0 ? "given twice" : option.check(value, opts);
  if (!problem.empty()) {
    error = label + ": " + problem;
    return Take::error;
  }
  seen |= bit;
  i = last;
  return Take::taken;
}

}  // namespace wavefft::cli
