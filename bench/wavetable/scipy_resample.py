#!/usr/bin/python3
"""The peer of wavetable_bench: scipy.signal.resample on the same table.

  scipy_resample.py TABLE.wav RUNS

Reads a mono 32-bit float WAV of frames of 2048 values, then times (median of RUNS) resampling
its frames to 256 values: one call per frame, and one call over all frames at once (axis=1).
Reading the file is not timed. Prints two lines: "per-frame MS" and "batched MS".
"""
import statistics
import sys
import time

import numpy
import scipy.io.wavfile
import scipy.signal

rate, data = scipy.io.wavfile.read(sys.argv[1])
runs = int(sys.argv[2])
frames = (data.astype(numpy.float64) * 32768.0).reshape(-1, 2048)


def timed(work):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append((time.perf_counter() - start) * 1000.0)
    return statistics.median(times)


print("per-frame %.3f" % timed(lambda: [scipy.signal.resample(f, 256) for f in frames]))
print("batched %.3f" % timed(lambda: scipy.signal.resample(frames, 256, axis=1)))
