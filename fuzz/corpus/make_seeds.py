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



def piece(words, children=()):
    """Big-endian words; children are (word index, bytes) placed after, the
    word holding the child's offset from this piece's start."""
    words = list(words)
    tail = b""
    for index, child in children:
        words[index] = 2 * len(words) + len(tail)
        tail += child
    return struct.pack(">%dH" % len(words), *[w & 0xFFFF for w in words]) + tail


def tag(t):
    return struct.unpack(">HH", t)


def layout_table(tags, lookups):
    lang = piece([0, 0xFFFF, len(tags)] + list(range(len(tags))))
    feature_words, feature_children = [len(tags)], []
    for i, t in enumerate(tags):
        feature_words += [*tag(t), 0]
        feature_children.append((len(feature_words) - 1, piece([0, 1, i])))
    features = piece(feature_words, feature_children)
    lookup_list = piece([len(lookups)] + [0] * len(lookups),
                        [(i + 1, lookup) for i, lookup in enumerate(lookups)])
    scripts = piece([1, *tag(b"DFLT"), 0], [(3, piece([0, 0], [(0, lang)]))])
    return piece([1, 0, 0, 0, 0], [(2, scripts), (3, features), (4, lookup_list)])


def lookup(kind, flags, subtable):
    return piece([kind, flags, 1, 0], [(3, subtable)])


def coverage(glyph):
    return piece([1, 1, glyph])


liga = piece([1, 0, 1, 0], [(1, coverage(10)), (3, piece([1, 0], [(1, piece([99, 2, 11]))]))])
gsub = layout_table([b"liga"], [lookup(4, 8, liga)])
pair = piece([1, 0, 4, 0, 1, 0], [(1, coverage(20)), (5, piece([1, 21, -100]))])
classes = piece([1, 22, 1, 1])
by_class = piece([2, 0, 0, 3, 0, 0, 2, 2] + [0] * 6 + [30, 50],
                 [(1, coverage(22)), (4, classes), (5, classes)])
gpos = layout_table([b"kern"], [lookup(2, 0, pair), lookup(2, 0, by_class)])
gdef = piece([1, 0, 0, 0, 0, 0], [(2, piece([1, 30, 1, 3]))])
glyphs = bytes([10, 11, 20, 21, 22, 22, 10, 30, 11])
os.makedirs(os.path.join(HERE, "layout"), exist_ok=True)
with open(os.path.join(HERE, "layout", "liga_kern.bin"), "wb") as f:
    f.write(struct.pack(">HH", len(gsub), len(gpos)) + gsub + gpos + gdef + glyphs)
