#!/usr/bin/env python3
"""Compares the pixels of PNG images, whatever wrote them: prints the
number of differing pixels per pair and the box around them; exits 1 when
any pair differs. Usage: png_pixels.py A.png B.png [A2.png B2.png ...]
       png_pixels.py --ppm SHOT.ppm SHOT.png
       png_pixels.py --render LINUX_DIR WINDOWS_DIR"""
import struct
import sys
import zlib


def decode(path):
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError(path + ': not a PNG')
    pos, idat, palette = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if depth != 8 or interlace != 0 or colour not in (2, 3):
                raise ValueError(path + ': only 8-bit RGB or indexed images')
        elif kind == b'PLTE':
            palette = [body[i:i + 3] for i in range(0, len(body), 3)]
        elif kind == b'IDAT':
            idat += body
    channels = 3 if colour == 2 else 1
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(line[1:])
        for i in range(stride):
            a = row[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(row) if colour == 2 else b''.join(palette[v] for v in row))
        previous = row
    return width, height, rows


def ppm_to_png(ppm, png):
    """A screenshot of zt_xprobe (binary PPM) as a PNG, for looking at."""
    data = open(ppm, 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    raw = b''.join(b'\0' + pixels[y * width * 3:(y + 1) * width * 3] for y in range(height))

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    with open(png, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
                  + chunk(b'IDAT', zlib.compress(raw, 6)) + chunk(b'IEND', b''))


def differences(a, b, skip_rows=()):
    """Pixels of two decoded images that differ, outside the rows skipped."""
    (wa, ha, ra), (wb, hb, rb) = a, b
    if (wa, ha) != (wb, hb):
        return None
    out = []
    for y in range(ha):
        if y in skip_rows or ra[y] == rb[y]:
            continue
        out += [(x, y) for x in range(wa) if ra[y][3 * x:3 * x + 3] != rb[y][3 * x:3 * x + 3]]
    return out


def compare_renders(linux_dir, windows_dir):
    """Two --render folders of the same arguments: the records must be the
    same bytes and the images the same pixels, except in the band of rows
    where that figure's status line was printed: the two
    systems rasterise text differently, so captions are left out there."""
    import json
    import os
    records = open(os.path.join(linux_dir, 'figures.jsonl'), 'rb').read()
    if records != open(os.path.join(windows_dir, 'figures.jsonl'), 'rb').read():
        print('figures.jsonl differ')
        return 1
    failed = False
    for line in records.decode().splitlines():
        figure = json.loads(line)
        status = figure['status_line']
        # A status line shows only in the image of the figure it came with.
        band = range(0)
        if status is not None:
            # The line's own height is some 20 points at this scale; the
            # band is kept generous so no glyph edge is left in.
            scale = figure['width'] / 800
            top = int(status['y']) - 4
            band = range(max(top, 0), int(status['y'] + 60 * scale) + 1)
        name = figure['image']
        a = decode(os.path.join(linux_dir, name))
        b = decode(os.path.join(windows_dir, name))
        outside = differences(a, b, band)
        inside = len(differences(a, b)) - len(outside) if outside is not None else 0
        if outside is None or outside:
            print(f'{name}: {"sizes differ" if outside is None else len(outside)} '
                  f'pixels differ outside the caption band, first {outside[:3] if outside else ""}')
            failed = True
        else:
            print(f'{name}: identical outside the caption band; {inside} differ inside it')
    return 1 if failed else 0


def main(paths):
    if paths and paths[0] == '--ppm':
        ppm_to_png(paths[1], paths[2])
        return 0
    if paths and paths[0] == '--render':
        return compare_renders(paths[1], paths[2])
    failed = False
    for a, b in zip(paths[::2], paths[1::2]):
        wa, ha, ra = decode(a)
        wb, hb, rb = decode(b)
        if (wa, ha) != (wb, hb):
            print(f'{a} {b}: sizes {wa}x{ha} and {wb}x{hb}')
            failed = True
            continue
        diff, box = 0, None
        for y in range(ha):
            if ra[y] == rb[y]:
                continue
            for x in range(wa):
                if ra[y][3 * x:3 * x + 3] != rb[y][3 * x:3 * x + 3]:
                    diff += 1
                    box = (min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y)) if box else (x, y, x, y)
        print(f'{a} {b}: {diff} pixels differ' + (f' within {box}' if box else ''))
        failed = failed or diff > 0
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
