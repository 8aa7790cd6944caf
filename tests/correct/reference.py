# SPDX-License-Identifier: GPL-3.0-or-later
"""An independent NumPy reading of wavefft-correct's definitions, checked
against what the command wrote: the onset, the corners, the drift flags and
every corrected sample (to 1e-9 of the component's peak).

    reference.py RECORD CORRECTED SUMMARY [--highpass F --lowpass F --order N --baseline none]

Exit status 1, with the differences, when they disagree.
"""
import json
import math
import sys

import numpy as np


def read(fn):
    L = open(fn).read().split('\n')
    rows = [l.split() for l in L[2:] if l.strip()]
    t = np.array([float(r[0]) for r in rows])
    a = np.array([[float(r[1]), float(r[2]), float(r[11])] for r in rows]).T
    return t, a, L[0].split()

def cumtrap(x, dt):
    v = np.zeros_like(x)
    v[1:] = np.cumsum(dt * (x[:-1] + x[1:]) / 2)
    return v

def onset(z, dt):
    n = len(z); p = int(np.argmax(np.abs(z))); m = max(2, math.ceil(1 / dt))
    best = None
    for k in range(m, p + 1):
        v0 = np.var(z[:k]); v1 = np.var(z[k:])
        if v0 <= 0 or v1 <= 0: continue
        aic = k * math.log(v0) + (n - k) * math.log(v1)
        if best is None or aic < best[1]: best = (k, aic)
    return None if best is None else best[0]

def taper(x, frac):
    x = x.copy(); n = len(x); m = int(math.floor(frac * n))
    if m > 0:
        i = np.arange(m); w = 0.5 * (1 - np.cos(np.pi * i / m))
        x[:m] *= w; x[n - m:] *= w[::-1]
    return x

def butter(x, dt, hp, lp, order):
    n = len(x); N = n + math.ceil(1.5 * order / (hp * dt))
    X = np.fft.rfft(x, N); f = np.arange(len(X)) / (N * dt)
    H = np.zeros(len(X)); nz = f > 0
    H[nz] = (1 + (hp / f[nz]) ** (2 * order)) ** -0.5
    if lp is not None: H[nz] *= (1 + (f[nz] / lp) ** (2 * order)) ** -0.5
    return np.fft.irfft(X * H, N)[:n]

def baseline(x, dt):
    n = len(x); d = cumtrap(cumtrap(x, dt), dt); T = (n - 1) * dt
    tau = np.arange(n) / (n - 1)
    A = np.stack([tau ** p for p in range(2, 7)], axis=1)
    b, *_ = np.linalg.lstsq(A, d, rcond=None)
    sec = sum(p * (p - 1) * b[p - 2] * tau ** (p - 2) for p in range(2, 7)) / T**2
    return x - sec

GRID = np.array([10 ** (k / 75 - 2) for k in range(301)])

def ko(lines, n, dt, b=20.0):
    f = np.arange(len(lines)) / (n * dt)
    out = np.full(len(GRID), np.nan)
    for k, fc in enumerate(GRID):
        if fc > 1 / (2 * dt): continue
        sel = f > 0
        x = b * np.log10(f[sel] / fc)
        m = np.abs(x) <= 3
        if not m.any(): continue
        xx = x[m]; w = np.ones_like(xx); big = np.abs(xx) >= 1e-6
        w[big] = (np.sin(xx[big]) / xx[big]) ** 4
        out[k] = (w * lines[sel][m]).sum() / w.sum()
    return out

def smoothed_fas(part, dt):
    p = taper(part - part.mean(), 0.05)
    return ko(dt * np.abs(np.fft.rfft(p)), len(p), dt)

def band(sig, noi, limit):
    with np.errstate(divide='ignore', invalid='ignore'):
        r = sig / noi
    good = lambda k: (not np.isnan(r[k])) and r[k] >= 3
    if not good(150): return None
    lo = 150
    while lo > 0 and good(lo - 1): lo -= 1
    hi = 150
    while hi + 1 <= 300 and GRID[hi + 1] <= limit and good(hi + 1): hi += 1
    return GRID[lo], GRID[hi]

def correct(t, a, dt, gal, opts):
    n = a.shape[1]
    ion = onset(a[2], dt)
    usable = ion is not None and ion * dt >= 5
    limit = min(40, 0.8 / (2 * dt))
    bands = []
    for c in range(3):
        b = None
        if usable: b = band(smoothed_fas(a[c][ion:], dt), smoothed_fas(a[c][:ion], dt) * math.sqrt((n - ion) / ion), limit)
        bands.append(b or (0.1, limit))
    hp = [max(bands[0][0], bands[1][0])] * 2 + [bands[2][0]]
    lp = [min(bands[0][1], bands[1][1])] * 2 + [bands[2][1]]
    given = 'highpass' in opts
    if given: hp = [opts['highpass']] * 3
    if 'lowpass' in opts: lp = [opts['lowpass']] * 3
    order = opts.get('order', 5)
    prep = []
    for c in range(3):
        m = a[c][:ion].mean() if usable else a[c].mean()
        prep.append(taper(a[c] - m, 0.05))
    def run(c, h):
        y = butter(prep[c], dt, h, lp[c], order)
        return y if opts.get('baseline') == 'none' else baseline(y, dt)
    def drifts(x):
        d = cumtrap(cumtrap(x, dt), dt) * gal
        e = abs(d[-1]); return e > 0.025 or e > 0.2 * np.abs(d).max()
    out = [None] * 3; flags = [[] for _ in range(3)]
    for group in ([0, 1], [2]):
        h = hp[group[0]]
        for c in group: out[c] = run(c, h)
        while not given and any(drifts(out[c]) for c in group):
            nh = h * 1.5
            if nh > 0.5:
                for c in group: flags[c].append('drift')
                break
            h = nh
            for c in group: out[c] = run(c, h)
        for c in group: hp[c] = h
    return ion, hp, lp, out, flags


def main():
    t, a, h = read(sys.argv[1])
    dt = t[1] - t[0]
    opts = {}
    words = sys.argv[4:]
    for k in range(0, len(words), 2):
        name, value = words[k][2:], words[k + 1]
        opts[name] = value if name == 'baseline' else (int(value) if name == 'order' else float(value))
    gal = {'g': 980.665, 'gal': 1.0, 'm_s2': 100.0, 'mm_s2': 0.1}[h[3]]
    ion, hp, lp, out, flags = correct(t, a, dt, gal, opts)
    _, got, _ = read(sys.argv[2])
    s = json.load(open(sys.argv[3]))
    bad = []
    want_onset = None if ion is None else ion * dt
    if (want_onset is None) != (s['onset_s'] is None) or (want_onset is not None and abs(want_onset - s['onset_s']) > 1e-9):
        bad.append('onset %s s, the command %s' % (want_onset, s['onset_s']))
    for c in range(3):
        sc = s['components'][c]
        if not math.isclose(hp[c], sc['highpass_hz'], rel_tol=1e-12):
            bad.append('comp%d high-pass %r, the command %r' % (c + 1, hp[c], sc['highpass_hz']))
        if not math.isclose(lp[c], sc['lowpass_hz'], rel_tol=1e-12):
            bad.append('comp%d low-pass %r, the command %r' % (c + 1, lp[c], sc['lowpass_hz']))
        if ('drift' in flags[c]) != ('drift' in sc['flags']):
            bad.append('comp%d drift %s, the command %s' % (c + 1, flags[c], sc['flags']))
        worst = np.abs(out[c] - got[c]).max() / np.abs(out[c]).max()
        print('comp%d: corners %.6g-%.6g Hz, largest difference %.3g of the peak' % (c + 1, hp[c], lp[c], worst))
        if not worst <= 1e-9:
            bad.append('comp%d differs by %.3g of its peak' % (c + 1, worst))
    for b in bad:
        print('FAIL:', b)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
