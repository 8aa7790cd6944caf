// SPDX-License-Identifier: GPL-3.0-or-later
#include "measures/pool.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace wavefft::measures {

unsigned worker_count(unsigned threads, std::size_t jobs) {
  const unsigned wanted = threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::min<std::size_t>(wanted, jobs));
}

void share_out(std::size_t jobs, unsigned workers, const std::function<void(std::size_t job, unsigned worker)>& job) {
  if (jobs == 0 || workers == 0) return;
  std::atomic<std::size_t> next{0};
  auto work = [&next, jobs, &job](unsigned worker) {
    for (std::size_t k = next++; k < jobs; k = next++) job(k, worker);
  };
  std::vector<std::thread> pool;
  pool.reserve(workers - 1);
  for (unsigned w = 1; w < workers; ++w) {
    try {
      pool.emplace_back(work, w);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the others take the jobs
    }
  }
  work(0);
  for (std::thread& t : pool) t.join();
}

}  // namespace wavefft::measures
