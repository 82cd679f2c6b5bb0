#!/usr/bin/env python3
"""Writes the malformed MIDI files of invalid/, one defect per file, named after the defect.

Run from anywhere: python3 make-invalid-corpus.py. The files are committed; rerun only to change them.
"""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "invalid")


def header(length=6, fmt=0, tracks=1, division=24):
    return b"MThd" + struct.pack(">IHHH", length, fmt, tracks, division)


def track(body, length=None, end=True):
    if end:
        body += b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body) if length is None else length) + body


NAME = b"\x00\xff\x03\x02B1"
ANNOUNCE = b"\x00\xf0\x05\x31\x0d\x79\x00\xf7"
TEMPO = b"\x00\xff\x51\x03\x07\xa1\x20"

FILES = {
    "empty-file.mid": b"",
    "not-a-midi-file.mid": b"RIFF\x24\x00\x00\x00WAVEfmt " + bytes(16),
    "header-cut-short.mid": b"MThd\x00\x00",
    "header-length-zero.mid": b"MThd\x00\x00\x00\x00" + track(NAME),
    "header-length-ffffffff.mid": header(length=0xFFFFFFFF) + track(NAME),
    "header-without-tracks.mid": header(tracks=0),
    "division-zero.mid": header(division=0) + track(ANNOUNCE + b"\x30\xf0\x03\x01\x02\xf7"),
    "track-count-larger-than-tracks.mid": header(fmt=1, tracks=8) + track(TEMPO),
    "track-length-past-end-of-file.mid": header() + track(NAME + ANNOUNCE, length=0x7FFFFFF0),
    "track-length-ffffffff.mid": header(fmt=1, tracks=2)
    + track(NAME, length=0xFFFFFFFF)
    + track(ANNOUNCE),
    "track-length-zero.mid": header(fmt=1, tracks=2) + track(NAME, length=0) + track(ANNOUNCE),
    "track-chunk-cut-short.mid": header() + b"MTr",
    "track-without-end-of-track.mid": header(fmt=1, tracks=2)
    + track(NAME + ANNOUNCE, end=False)
    + track(ANNOUNCE),
    "unknown-chunk-between-tracks.mid": header(fmt=1, tracks=2)
    + track(TEMPO)
    + b"XFIH\x00\x00\x00\x04abcd"
    + track(ANNOUNCE),
    "garbage-after-last-track.mid": header() + track(NAME) + b"\x01\x02\x03garbage",
    "delta-never-ends.mid": header() + track(b"", end=False) + b"\x80" * 300,
    "sysex-length-never-ends.mid": header() + track(b"\x00\xf0", end=False) + b"\xff" * 300,
    "sysex-length-200mb-in-small-file.mid": header()
    + track(NAME + b"\x00\xf0\xdf\xde\x84\x00" + b"\x01" * 1000, end=False),
    "sysex-length-past-end-of-file.mid": header() + track(NAME + b"\x00\xf0\x40\x01\x02", end=False),
    "sysex-without-f7.mid": header() + track(ANNOUNCE + b"\x00\xf0\x03\x01\x02\x03" + NAME),
    "meta-length-past-end-of-file.mid": header() + track(b"\x00\xff\x03\x7f\x41", end=False),
    "meta-type-cut-off.mid": header() + track(NAME + b"\x00\xff", end=False),
    "file-cut-inside-delta.mid": header() + track(NAME + b"\x81", end=False),
    "running-status-channel-events.mid": header()
    + track(b"\x00\x90\x3c\x40\x10\x3e\x40\x10\x80\x3c\x00"),
    "delta-shorter-than-transmission-time.mid": header()
    + track(b"\x00\xf0\x7f" + bytes(126) + b"\xf7" + b"\x00\xf0\x02\x01\xf7"),
    "huge-delta-times.mid": header(division=1)
    + track(b"\xff\xff\xff\x7f\xf0\x02\x01\xf7" + b"\x8f\xff\xff\xff\x7f\xf0\x01\xf7"),
}


def main():
    os.makedirs(HERE, exist_ok=True)
    for name, data in sorted(FILES.items()):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
