// SPDX-License-Identifier: GPL-3.0-or-later
// The discrete Fourier transform of a real sequence of any length (primes
// included), for the tools: a thin, thread-safe wrapper of FFTW 3. Nothing
// else in the tools includes FFTW's header. The program wavefft keeps its
// own transform.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace wavefft::fourier {

/// X[j] = sum_{i=0}^{n-1} x[i] exp(-2 pi I i j / n), j = 0 .. floor(n/2),
/// n = x.size(); no scaling, no padding. Empty for an empty `x`. The same
/// input gives the same bits on every call, and the rounding does not
/// depend on the processor's vector instructions (the plan is chosen
/// without timing runs and without vector code). Safe to call from several
/// threads at once.
std::vector<std::complex<double>> forward_real(std::span<const double> x);

/// The inverse of forward_real for a real sequence of length n:
/// x[i] = sum over all n lines of X[j] exp(+2 pi I i j / n), the lines
/// above floor(n/2) being the conjugates of those below; no scaling (divide
/// by n for the round trip). `lines` must hold floor(n/2) + 1 values; the
/// imaginary part of line 0 (and of line n/2 when n is even) is ignored.
/// Throws std::invalid_argument when it holds another count.
std::vector<double> inverse_real(std::span<const std::complex<double>> lines, std::size_t n);

/// x zero-padded to length n (>= x.size()), transformed, line j multiplied
/// by gain[j] (n/2 + 1 gains), and transformed back: the first x.size()
/// samples of inverse_real(gain * forward_real(padded x), n), unscaled
/// (divide by n), in one pair of buffers. Throws std::invalid_argument when
/// n < x.size() or `gain` holds another count.
std::vector<double> filter_real(std::span<const double> x, std::size_t n, std::span<const double> gain);

/// filter_real of two sequences of the same length at once, through the
/// transform of the complex sequence x1 + I x2 (the gain is even: line
/// n - j takes gain[j]), forwards and back: about two thirds of the work
/// of two filter_real calls, and one plan for both directions.
std::array<std::vector<double>, 2> filter_real_pair(std::span<const double> x1, std::span<const double> x2,
                                                    std::size_t n, std::span<const double> gain);

}  // namespace wavefft::fourier
