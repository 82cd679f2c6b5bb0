#!/usr/bin/python3
"""Prints a MIDI file as mido parses it: "format F tracks N division D", then per track "track I"
and one line per message: delta ticks and the bytes in hex, without the length of meta and
System Exclusive messages. Exits non-zero when mido rejects the file."""
import sys

import mido

midi = mido.MidiFile(sys.argv[1])
print("format %d tracks %d division %d" % (midi.type, len(midi.tracks), midi.ticks_per_beat))
for index, track in enumerate(midi.tracks):
    print("track %d" % index)
    for msg in track:
        raw = list(msg.bytes())
        if raw[0] == 0xFF:  # FF type length data: drop the variable-length length
            at = 2
            while raw[at] & 0x80:
                at += 1
            raw = raw[:2] + raw[at + 1:]
        print(msg.time, " ".join("%02x" % b for b in raw))
