// SPDX-License-Identifier: GPL-3.0-or-later
// Jobs shared out between threads as these come free.
#pragma once

#include <cstddef>
#include <functional>

namespace wavefft::measures {

/// How many threads share_out should run for `jobs` jobs when asked for
/// `threads`: that many, or when 0 as many as the machine has (at least
/// 1); never more than `jobs`. (0, 3 jobs) on 2 cores -> 2; (8, 3) -> 3.
unsigned worker_count(unsigned threads, std::size_t jobs);

/// Calls job(k, w) once for every k in 0 .. jobs - 1 on `workers` threads
/// (the calling thread and workers - 1 more), handing the k out in
/// ascending order as threads come free; w (0 .. workers - 1) names the
/// thread that makes the call, so that each thread can keep scratch space
/// of its own. Returns when every call has returned. When a thread cannot
/// be started, those that could share the jobs. `job` must not throw (a
/// throw on another thread ends the program).
void share_out(std::size_t jobs, unsigned workers, const std::function<void(std::size_t job, unsigned worker)>& job);

}  // namespace wavefft::measures
