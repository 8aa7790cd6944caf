// SPDX-License-Identifier: GPL-3.0-or-later
// Two independent steps of the report run side by side: the files of a run
// are read, and the plots of the page drawn, on two threads.
#pragma once

#include <future>
#include <system_error>

namespace wavefft::report {

/// Runs `first` on this thread and `second` on a thread of its own (both
/// here, one after the other, when no thread can be had), and returns when
/// both are done. An exception of either is passed on, `first`'s before
/// `second`'s, once both have ended: neither outlives what they share.
template <typename First, typename Second>
void run_both(First&& first, Second&& second) {
  std::future<void> other;
  try {
    other = std::async(std::launch::async, [&second] { second(); });
  } catch (const std::system_error&) {
    first();
    second();
    return;
  }
  try {
    first();
  } catch (...) {
    other.wait();
    throw;
  }
  other.get();
}

}  // namespace wavefft::report
