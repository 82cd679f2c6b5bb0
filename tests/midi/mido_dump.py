#!/usr/bin/python3
"""Prints a Standard MIDI File as an independent parser sees it.

Output: a line "format F tracks N division D", then per track a line "track I" followed by one
line per message: the delta time in ticks and the message bytes in lower-case hex, status first,
without the length field of meta and System Exclusive messages. Exits non-zero when the parser
rejects the file.
"""
import sys

import mido


def varlen_size(data, start):
    size = 0
    while data[start + size] & 0x80:
        size += 1
    return size + 1


def message_bytes(msg):
    raw = list(msg.bytes())
    if raw and raw[0] == 0xFF:  # meta: FF type length data
        return raw[:2] + raw[2 + varlen_size(raw, 2):]
    return raw


def main():
    midi = mido.MidiFile(sys.argv[1])
    out = ["format %d tracks %d division %d" % (midi.type, len(midi.tracks), midi.ticks_per_beat)]
    for index, track in enumerate(midi.tracks):
        out.append("track %d" % index)
        for msg in track:
            out.append("%d %s" % (msg.time, " ".join("%02x" % b for b in message_bytes(msg))))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
