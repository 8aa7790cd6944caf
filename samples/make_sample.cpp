// SPDX-License-Identifier: GPL-3.0-or-later
// make_sample: writes the bundled sample record, a synthetic three-component
// accelerogram in the waveform input layout.
//
//   make_sample FILE
//
// 6000 records at 0.01 s (60 s). Each component is a sum of damped
// oscillators driven by a fixed pseudo-random pulse train, under a
// build-up / strong-motion / decay envelope, in units of g; the vertical
// component is weaker and richer in high frequencies, as in real records.
// The header and column-title lines have the shape of real converted
// records. The output is the same on every platform: the pulses come from a
// fixed 64-bit generator and every value is written with "%.6E".
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int kRecords = 6000;
constexpr double kDt = 0.01;
constexpr int kValues = 42;
constexpr double kPi = 3.14159265358979323846;

struct Rng {
  std::uint64_t state;
  double next() {  // uniform in [-1, 1)
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) / 4503599627370496.0 - 1.0;
  }
};

// Envelope: quadratic build-up to 4 s, strong motion to 14 s, then decay.
double envelope(double t) {
  if (t < 4.0) return (t / 4.0) * (t / 4.0);
  if (t < 14.0) return 1.0;
  return std::exp(-0.18 * (t - 14.0));
}

// One component: white pulses through two damped oscillators (one low, one
// high), mixed, enveloped, scaled to a peak near `peak` g.
void component(double* out, std::uint64_t seed, double f_low, double f_high, double mix, double peak) {
  Rng rng{seed};
  double y1 = 0, v1 = 0, y2 = 0, v2 = 0, top = 0;
  const double w1 = 2 * kPi * f_low, w2 = 2 * kPi * f_high, zeta = 0.3;
  for (int i = 0; i < kRecords; ++i) {
    const double t = i * kDt;
    const double drive = rng.next() * envelope(t);
    // Semi-implicit Euler on y'' + 2 zeta w y' + w^2 y = drive, fine sub-steps.
    for (int sub = 0; sub < 10; ++sub) {
      const double h = kDt / 10;
      v1 += h * (drive * 50.0 - 2 * zeta * w1 * v1 - w1 * w1 * y1);
      y1 += h * v1;
      v2 += h * (drive * 50.0 - 2 * zeta * w2 * v2 - w2 * w2 * y2);
      y2 += h * v2;
    }
    out[i] = (1.0 - mix) * y1 * w1 * w1 + mix * y2 * w2 * w2;
    top = std::fmax(top, std::fabs(out[i]));
  }
  for (int i = 0; i < kRecords; ++i) out[i] *= peak / top;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample FILE\n");
    return 2;
  }
  static double ns[kRecords], ew[kRecords], ud[kRecords];
  component(ns, 0x9E3779B97F4A7C15ull, 1.2, 4.5, 0.4, 0.32);
  component(ew, 0xC2B2AE3D27D4EB4Full, 0.9, 3.8, 0.5, 0.27);
  component(ud, 0x165667B19E3779F9ull, 2.5, 9.0, 0.7, 0.14);

  std::FILE* f = std::fopen(argv[1], "w");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(f, "SyntheticEvent2026 SampleStation acceleration g\n");
  std::fprintf(f, "TIME N00E N90E");
  for (int j = 3; j <= kValues; ++j) std::fprintf(f, j == 11 ? " UP" : " V%02d", j);
  std::fprintf(f, "\n");
  for (int i = 0; i < kRecords; ++i) {
    std::fprintf(f, "%.3f", i * kDt);
    for (int j = 1; j <= kValues; ++j) {
      const double v = j == 1 ? ns[i] : j == 2 ? ew[i] : j == 11 ? ud[i] : 0.0;
      if (v == 0.0) {
        std::fprintf(f, " 0");
      } else {
        std::fprintf(f, " %.6E", v);
      }
    }
    std::fprintf(f, "\n");
  }
  return std::fclose(f) == 0 ? 0 : 1;
}
