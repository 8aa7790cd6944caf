// SPDX-License-Identifier: GPL-3.0-or-later
// Offers command-line arguments to an option taker (cli::take_option,
// batch::take_import_option) the way a main does, for the tests of both.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "cli/option_table.h"

namespace wavefft::testing {

/// What a run of offers left: the last answer, its error, the options taken
/// and the index of the argument that ended it.
template <class Options>
struct OfferedArguments {
  cli::Take last = cli::Take::not_mine;
  std::string error;
  Options opts;
  int stopped_at = 0;
};

/// Offers `args` (after the program name) to
/// take(argc, argv, i, opts, error) in turn until one is not taken.
template <class Options, class Taker>
OfferedArguments<Options> offer_arguments(std::initializer_list<const char*> args, Taker take) {
  std::vector<const char*> argv{"program"};
  argv.insert(argv.end(), args);
  OfferedArguments<Options> p;
  const int argc = static_cast<int>(argv.size());
  int i = 1;
  for (; i < argc; ++i) {
    p.last = take(argc, argv.data(), i, p.opts, p.error);
    if (p.last != cli::Take::taken) break;
  }
  p.stopped_at = i;
  return p;
}

/// An option taker's tests: parse() and expect_refused() over one taker.
template <class Options>
class OptionOffers {
 public:
  using Taker = cli::Take (*)(int, const char* const*, int&, Options&, std::string&);
  explicit OptionOffers(Taker take) : take_(take) {}

  OfferedArguments<Options> parse(std::initializer_list<const char*> args) const {
    return offer_arguments<Options>(args, take_);
  }

  /// The first argument is refused with exactly `message`.
  void expect_refused(std::initializer_list<const char*> args, const std::string& message) const {
    const OfferedArguments<Options> p = parse(args);
    EXPECT_EQ(p.last, cli::Take::error) << *args.begin();
    EXPECT_EQ(p.error, message);
  }

 private:
  Taker take_;
};

}  // namespace wavefft::testing
