#!/usr/bin/env python3
"""Writes the small seed files of the fuzz corpora next to this script."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def chunk(kind, body):
    return kind + struct.pack(">I", len(body)) + body


def song(fmt, division, tracks):
    head = chunk(b"MThd", struct.pack(">HHH", fmt, len(tracks), division))
    return head + b"".join(chunk(b"MTrk", t) for t in tracks)


END = b"\x00\xff\x2f\x00"
notes = b"\x00\xc0\x13\x00\x90\x3c\x64" + varlen(480) + b"\x40\x64" + varlen(480) + b"\x3c\x00\x00\x40\x00" + END
tempo = b"\x00\xff\x51\x03\x07\xa1\x20" + varlen(960) + b"\xff\x51\x03\x03\xd0\x90" + END
sysex = b"\x00\xf0\x05\x7e\x7f\x09\x01\xf7\x00\xff\x03\x04Song\x00\xb0\x07\x64\x00\xe0\x00\x40" + END
seeds = {
    "format0.mid": song(0, 480, [notes]),
    "format1_tempo.mid": song(1, 96, [tempo, notes, sysex]),
    "format2.mid": song(2, 240, [tempo, notes]),
    "smpte.mid": song(1, 0xE728, [notes]),
    "empty_track.mid": song(0, 480, [END]),
}
for name, data in seeds.items():
    with open(os.path.join(HERE, "midi", name), "wb") as f:
        f.write(data)

commands = {
    "capability.txt": "capability sequencer can play",
    "open.txt": "open /home/me/Screen Savers/zt-bgm.mid alias bgm",
    "open_alias_in_path.txt": "open /x alias y/zt-bgm.mid alias bgm",
    "set.txt": "set bgm time format ms",
    "status.txt": "status bgm length",
    "play.txt": "play bgm notify",
    "seek.txt": "seek bgm to start",
    "stop.txt": "stop bgm",
    "close.txt": "close bgm",
}
for name, text in commands.items():
    with open(os.path.join(HERE, "mci", name), "w") as f:
        f.write(text)


def wave(tag, channels, rate, bits, extra=b""):
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * channels * bits // 8,
                      channels * bits // 8, bits)
    body = b"WAVE" + extra + chunk_le(b"fmt ", fmt) + b"data" + struct.pack("<I", 4) + b"\x00" * 4
    return b"RIFF" + struct.pack("<I", len(body)) + body


def chunk_le(kind, body):
    return kind + struct.pack("<I", len(body)) + body


waves = {
    "pcm16.wav": wave(1, 2, 44100, 16),
    "float.wav": wave(3, 1, 48000, 32),
    "list_first.wav": wave(1, 1, 8000, 8, chunk_le(b"LIST", b"abc") + b"\x00"),
}
os.makedirs(os.path.join(HERE, "wave"), exist_ok=True)
for name, data in waves.items():
    with open(os.path.join(HERE, "wave", name), "wb") as f:
        f.write(data)

