#!/usr/bin/env python3
"""Writes the malformed audio files of invalid/, one per defect, named after it.

Run from this folder: ./make-invalid-corpus.py. The files are committed; this script documents
how each one is built and remakes them.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "invalid")


def le_chunk(cid, data, claimed=None):
    size = len(data) if claimed is None else claimed
    pad = b"\0" if len(data) % 2 else b""
    return cid + struct.pack("<I", size) + data + pad


def be_chunk(cid, data, claimed=None):
    size = len(data) if claimed is None else claimed
    pad = b"\0" if len(data) % 2 else b""
    return cid + struct.pack(">I", size) + data + pad


def fmt(tag=1, channels=1, rate=44100, bits=16, extra=b""):
    width = (bits + 7) // 8
    return struct.pack("<HHIIHH", tag, channels, rate, (rate * channels * width) & 0xFFFFFFFF,
                       (channels * width) & 0xFFFF, bits) + extra


def riff(*chunks, form=b"WAVE"):
    body = form + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def ramp(n):
    return bytes((i * 37 + 11) & 0xFF for i in range(n))


RATE_44100 = bytes([0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0])


def comm(channels=1, bits=16, rate=RATE_44100):
    return struct.pack(">HIH", channels, 0, bits) + rate


def ssnd(samples, offset=0, claimed=None):
    data = struct.pack(">II", offset, 0) + b"\xEE" * min(offset, 64) + samples
    return be_chunk(b"SSND", data, claimed)


def form(*chunks, ftype=b"AIFF"):
    body = ftype + b"".join(chunks)
    return b"FORM" + struct.pack(">I", len(body)) + body


FILES = {
    # RIFF WAVE
    "data-size-4gb.wav": riff(le_chunk(b"fmt ", fmt()), le_chunk(b"data", ramp(1000), 0xFFFFFFF0)),
    "data-size-past-end.wav": riff(le_chunk(b"fmt ", fmt()), le_chunk(b"data", ramp(100), 1000)),
    "fmt-size-past-end.wav": riff(le_chunk(b"fmt ", fmt(), 0x7FFFFFF0), le_chunk(b"data", ramp(64))),
    "list-size-0xffffffff-before-fmt.wav": riff(le_chunk(b"LIST", b"INFO", 0xFFFFFFFF),
                                                le_chunk(b"fmt ", fmt()), le_chunk(b"data", ramp(64))),
    "cut-inside-chunk-header.wav": riff(le_chunk(b"fmt ", fmt())) + b"da",
    "riff-header-only.wav": b"RIFF\x04\0\0\0WAVE",
    "zero-channels.wav": riff(le_chunk(b"fmt ", fmt(channels=0)), le_chunk(b"data", ramp(400))),
    "zero-bits.wav": riff(le_chunk(b"fmt ", fmt(bits=0)), le_chunk(b"data", ramp(400))),
    "64-bit-depth.wav": riff(le_chunk(b"fmt ", fmt(bits=64)), le_chunk(b"data", ramp(800))),
    "zero-rate.wav": riff(le_chunk(b"fmt ", fmt(rate=0)), le_chunk(b"data", ramp(400))),
    "rate-0xffffffff.wav": riff(le_chunk(b"fmt ", fmt(rate=0xFFFFFFFF)),
                                le_chunk(b"data", ramp(4000))),
    "rate-1-hz.wav": riff(le_chunk(b"fmt ", fmt(rate=1)), le_chunk(b"data", ramp(8))),
    "12-bit-depth.wav": riff(le_chunk(b"fmt ", fmt(bits=12)),
                             le_chunk(b"data", bytes([0xF0, 0x7F, 0x00, 0x80] * 50))),
    "extensible-fmt-too-short.wav": riff(le_chunk(b"fmt ", fmt(tag=0xFFFE, extra=b"\0\0")),
                                         le_chunk(b"data", ramp(64))),
    "odd-data-without-pad-at-end.wav": riff(le_chunk(b"fmt ", fmt(bits=8)))
    + b"data" + struct.pack("<I", 7) + ramp(7),
    "65535-channels.wav": riff(le_chunk(b"fmt ", fmt(channels=65535)), le_chunk(b"data", ramp(1000))),
    "duplicate-fmt-conflicting.wav": riff(le_chunk(b"fmt ", fmt()), le_chunk(b"fmt ", fmt(channels=2, bits=8)),
                                          le_chunk(b"data", ramp(100))),
    "zero-size-chunk-before-fmt.wav": riff(le_chunk(b"junk", b""), le_chunk(b"fmt ", fmt()),
                                           le_chunk(b"data", ramp(100))),
    "odd-size-chunk-before-fmt.wav": riff(le_chunk(b"junk", b"abc"), le_chunk(b"fmt ", fmt()),
                                          le_chunk(b"data", ramp(100))),
    # AIFF
    "aiff-duplicate-comm-conflicting.aif": form(be_chunk(b"COMM", comm()),
                                                be_chunk(b"COMM", comm(channels=2, bits=8)),
                                                ssnd(ramp(100))),
    "aiff-denormal-rate.aif": form(be_chunk(b"COMM", comm(rate=bytes([0x00, 0x00, 0x40] + [0] * 7))),
                                   ssnd(ramp(100))),
    "aiff-odd-size-chunk-before-comm.aif": form(be_chunk(b"junk", b"abc"), be_chunk(b"COMM", comm()),
                                                ssnd(ramp(100))),
    "aiff-zero-bits.aif": form(be_chunk(b"COMM", comm(bits=0)), ssnd(ramp(100))),
    "aiff-48-bit-depth.aif": form(be_chunk(b"COMM", comm(bits=48)), ssnd(ramp(600))),
    "aiff-zero-channels.aif": form(be_chunk(b"COMM", comm(channels=0)), ssnd(ramp(100))),
    "aiff-nan-rate.aif": form(be_chunk(b"COMM", comm(rate=bytes([0x7F, 0xFF, 0xC0] + [0] * 7))),
                              ssnd(ramp(100))),
    "aiff-infinite-rate.aif": form(be_chunk(b"COMM", comm(rate=bytes([0x7F, 0xFF, 0x80] + [0] * 7))),
                                   ssnd(ramp(100))),
    "aiff-negative-rate.aif": form(be_chunk(b"COMM", comm(rate=bytes([0xC0, 0x0E, 0xAC, 0x44] + [0] * 6))),
                                   ssnd(ramp(100))),
    "aiff-tiny-rate.aif": form(be_chunk(b"COMM", comm(rate=bytes([0x00, 0x01, 0x80] + [0] * 7))),
                               ssnd(ramp(100))),
    "aiff-huge-rate.aif": form(be_chunk(b"COMM", comm(rate=bytes([0x43, 0xFE, 0x80] + [0] * 7))),
                               ssnd(ramp(100))),
    "aiff-comm-cut-in-rate.aif": form(be_chunk(b"COMM", comm()))[:-6],
    "aiff-no-ssnd.aif": form(be_chunk(b"COMM", comm())),
    "aiff-ssnd-size-4gb.aif": form(be_chunk(b"COMM", comm()), ssnd(ramp(1000), claimed=0xFFFFFFF0)),
    "aiff-ssnd-offset-past-end.aif": form(be_chunk(b"COMM", comm()))
    + b"SSND" + struct.pack(">III", 0xFFFFFFF0, 0xFFFFFF00, 0) + ramp(100),
    "aiff-ssnd-size-below-offset.aif": form(be_chunk(b"COMM", comm()), ssnd(ramp(100), offset=16,
                                                                           claimed=12)),
    "form-header-only.aif": b"FORM\x04\0\0\0AIFF",
    "aifc-form-type.aif": form(be_chunk(b"COMM", comm()), ssnd(ramp(100)), ftype=b"AIFC"),
    # Neither
    "empty-file.wav": b"",
    "one-byte.bin": b"\x7F",
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in FILES.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
