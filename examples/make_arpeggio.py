#!/usr/bin/env python3
"""Writes examples/arpeggio.mid: a short C major arpeggio (C4 E4 G4 C5, then a held A3) as a
format-0 Standard MIDI File at 120 quarter notes per minute, 480 ticks per quarter.
Usage: make_arpeggio.py [OUTPUT]   (default: arpeggio.mid beside this script)"""
import os
import struct
import sys

TICKS_PER_QUARTER = 480
MICROSECONDS_PER_QUARTER = 500000  # 120 per minute

# (start tick, length in ticks, note, velocity)
NOTES = [
    (0, 240, 60, 100),
    (240, 240, 64, 90),
    (480, 240, 67, 80),
    (720, 240, 72, 110),
    (960, 960, 57, 64),
]


def variable_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def track_events():
    events = [(0, 0, bytes([0xFF, 0x51, 0x03]) + MICROSECONDS_PER_QUARTER.to_bytes(3, "big"))]
    for start, length, note, velocity in NOTES:
        # Note-offs sort before note-ons at the same tick.
        events.append((start, 1, bytes([0x90, note, velocity])))
        events.append((start + length, 0, bytes([0x80, note, 0])))
    events.sort(key=lambda e: (e[0], e[1]))
    data = b""
    now = 0
    for tick, _, message in events:
        data += variable_length(tick - now) + message
        now = tick
    return data + variable_length(0) + bytes([0xFF, 0x2F, 0x00])


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "arpeggio.mid")
    track = track_events()
    data = b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS_PER_QUARTER)
    data += b"MTrk" + struct.pack(">I", len(track)) + track
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
