#!/usr/bin/python3
"""NumPy's answers for the formula and ramped-operation tests.

argv[1]: the bank before (65536 values, one per line); argv[2]: the bank after the aligning
(for the alignment's checks). Prints one line per case: its name, then its values."""
import sys

import numpy as np

N = 256
bank = np.loadtxt(sys.argv[1]).reshape(N, N)


def rnd(v):
    """Rounded half away from zero and clamped, as the bank stores values."""
    return np.clip(np.sign(v) * np.floor(np.abs(v) + 0.5), -32768, 32767).astype(int)


def ramp(first, last):
    count = last - first + 1
    return np.zeros(1) if count == 1 else np.arange(count) / (count - 1)


def say(name, values):
    print(name, " ".join(str(int(v)) for v in np.ravel(values)))


x = np.arange(N) / N

# Slots 5 to 40: x, t, w and y.
t = ramp(4, 39)[:, None]
w = np.arange(5, 41)[:, None]
y = bank[4:40] / 32767
say("formula", rnd(32767 * (np.sin(2 * np.pi * x + 3 * t) * 0.7 + 0.2 * y + w / 1000)))

# Harmonics over every slot: 1/h up to a cutoff that rises with t, then fitted.
t = ramp(0, 255)[:, None]
h = np.arange(1, 128)
levels = np.where(h[None, :] <= 1 + 40 * t, 1.0, 0.0) / h[None, :]
waves = 32767 * levels @ np.sin(2 * np.pi * np.outer(h, x))
gain = min([1.0] + [32767 / v for v in waves[waves > 32767]] + [-32768 / v for v in waves[waves < -32768]])
say("harmonics", rnd(waves * gain))

# The ramped operations on slots 10 to 73.
span = bank[9:73].astype(float)
t = ramp(9, 72)
say("gain", rnd(span * 10 ** ((-12 + 18 * t) / 20)[:, None]))
out = []
for wave, cutoff in zip(span, 64 + (2 - 64) * t):
    bins = np.fft.rfft(wave)
    bins[int(np.floor(cutoff + 0.5)) + 1:] = 0
    out.append(np.fft.irfft(bins, N))
say("lowpass", rnd(np.array(out)))
out = []
for wave, power in zip(span, 0.5 + 1.5 * t):
    at = N * x ** power
    out.append(np.interp(at, np.arange(N + 1), np.append(wave, wave[0])))
say("warp", rnd(np.array(out)))
out = []
for wave, drive in zip(span, 1 + 4 * t):
    v = drive * wave / 32767
    out.append(32767 * (4 * np.abs((v - 1) / 4 - np.floor((v - 1) / 4) - 0.5) - 1))
say("fold", rnd(np.array(out)))

# The aligning: every slot's magnitudes kept, and each slot's best circular lag against the
# one before it 0.
before = bank
after = np.loadtxt(sys.argv[2]).reshape(N, N)
moved = np.max(np.abs(np.abs(np.fft.rfft(before)) - np.abs(np.fft.rfft(after))) * 2 / N)
lags = []
for a, b in zip(after[:-1], after[1:]):
    r = np.fft.irfft(np.fft.rfft(a) * np.conj(np.fft.rfft(b)), N)
    lag = int(np.argmax(r))
    lags.append(lag if lag < N // 2 else lag - N)
say("align", [round(moved * 1000), max(abs(v) for v in lags)])
