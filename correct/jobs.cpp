// SPDX-License-Identifier: GPL-3.0-or-later
// Independent steps of a correction run side by side.
#include <exception>
#include <mutex>

#include "correct/steps.h"
#include "measures/pool.h"

namespace wavefft::correct {

void run_jobs(std::size_t jobs, const std::function<void(std::size_t)>& job) {
  std::exception_ptr first;
  std::mutex guard;
  measures::share_out(jobs, measures::worker_count(0, jobs), [&](std::size_t k, unsigned) {
    try {
      job(k);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(guard);
      if (!first) first = std::current_exception();
    }
  });
  if (first) std::rethrow_exception(first);
}

}  // namespace wavefft::correct
