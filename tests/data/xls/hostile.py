"""Workbooks of Excel 97 to 2003 that are hostile or odd, each a compound file
packed here around the workbook stream of a Python writer (xlwt).

    hostile.py OUT          the files the reader's tests open
    hostile.py --seeds OUT  small inputs for the .xls fuzz target
"""
import os
import struct
import sys

import xlwt

NONE, END = 0xFFFFFFFF, 0xFFFFFFFE


def cfb(streams, shift=9, loop=False):
    """A compound file of the streams (none in the mini stream), sector n at
    (n + 1) sector sizes; with loop, the directory's chain goes round."""
    size = 1 << shift
    sectors, fat = [], []

    def add(data):
        data = data.ljust(max(size, -(-len(data) // size) * size), b'\0')
        first = len(sectors)
        for i in range(0, len(data), size):
            sectors.append(data[i:i + size])
            fat.append(len(sectors) if i + size < len(data) else END)
        return first

    def entry(name, kind, start, length, child=NONE, right=NONE):
        n = (name + '\0').encode('utf-16-le')
        return (n.ljust(64, b'\0') + struct.pack('<HBBIII', len(n), kind, 1, NONE, right, child) + b'\0' * 36 +
                struct.pack('<III', start, length, 0))

    streams = [(name, data.ljust(4096, b'\0')) for name, data in streams]
    placed = [(name, add(data), len(data)) for name, data in streams]
    d = entry('Root Entry', 5, END, 0, child=1)
    for i, (name, start, length) in enumerate(placed):
        d += entry(name, 2, start, length, right=i + 2 if i + 1 < len(placed) else NONE)
    directory = add(d)
    dirSectors = len(sectors) - directory
    if loop:
        fat[-1] = directory
    count = 1
    while len(sectors) + count > count * size // 4:
        count += 1
    first = len(sectors)
    fat += [0xFFFFFFFD] * count
    fat += [NONE] * (count * size // 4 - len(fat))
    table = struct.pack('<%dI' % len(fat), *fat)
    sectors += [table[i:i + size] for i in range(0, len(table), size)]
    header = struct.pack('<8s16sHHHHH6sIIIIIIIII', bytes.fromhex('D0CF11E0A1B11AE1'), b'\0' * 16, 0x3E,
                         3 if shift == 9 else 4, 0xFFFE, shift, 6, b'\0' * 6, dirSectors if shift == 12 else 0,
                         count, directory, 0, 4096, END, 0, END, 0)
    header += struct.pack('<109I', *([first + i for i in range(count)] + [NONE] * (109 - count)))
    return header.ljust(size, b'\0') + b''.join(sectors)


def record(kind, data):
    return struct.pack('<HH', kind, len(data)) + data


def records(stream):
    at = 0
    while at + 4 <= len(stream):
        kind, length = struct.unpack_from('<HH', stream, at)
        yield at, kind, stream[at + 4:at + 4 + length]
        at += 4 + length


def insert(stream, extra):
    """The stream with records put just before the globals' EOF, the sheets'
    positions moved after them."""
    eof = next(at for at, kind, _ in records(stream) if kind == 0x000A)
    out = b''
    for at, kind, data in records(stream[:eof]):
        if kind == 0x0085:
            data = struct.pack('<I', struct.unpack_from('<I', data)[0] + len(extra)) + data[4:]
        out += record(kind, data)
    return out + extra + stream[eof:]


def book(fill, *names):
    b = xlwt.Workbook()
    for n in names:
        fill(b.add_sheet(n))
    return b.get_biff_data()


def small(s):
    for r, v in enumerate(['N', 1, 2, 3]):
        s.write(r, 0, v)


def sharedText(rows, length):
    def fill(s):
        s.write(0, 0, 'T')
        text = 'x' * length
        for r in range(1, rows + 1):
            s.write(r, 0, text)
    return fill


def wideSheet(rows):
    def fill(s):
        s.write(0, 0, 'A')
        for r in range(1, rows):
            s.write(r, 0, r)
            s.write(r, 255, r)
    return fill


def names(count, rows):
    """Defined names of the workbook, each over the whole of its first sheet."""
    out = record(0x01AE, struct.pack('<HH', 1, 0x0401)) + record(0x0017, struct.pack('<HHHH', 1, 0, 0, 0))
    for i in range(count):
        n = b'n%02d' % i
        out += record(0x0018, struct.pack('<HBBHHH4B', 0, 0, len(n), 11, 0, 0, 0, 0, 0, 0) + b'\0' + n +
                      struct.pack('<BHHHHH', 0x3B, 0, 0, rows - 1, 0, 255))
    return out


def sameSheetMany(count):
    """One worksheet that the globals list `count` times more, at one position."""
    stream = book(small, 'Data')
    sheet = next(data for _, kind, data in records(stream) if kind == 0x0085)
    start = struct.unpack_from('<I', sheet)[0]

    def copies(moved):
        names = [b'C%d' % i for i in range(count)]
        return b''.join(record(0x0085, struct.pack('<I', start + moved) + sheet[4:6] + bytes([len(n), 0]) + n)
                        for n in names)
    return insert(stream, copies(len(copies(0))))


def write(out, name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)


def hostile(out):
    # 131 MB of one shared text; twenty names over the whole of a wide sheet.
    write(out, 'shared.xls', cfb([('Workbook', book(sharedText(4000, 32767), 'Big'))]))
    write(out, 'names.xls', cfb([('Workbook', insert(book(wideSheet(2000), 'Wide'), names(20, 2000)))]))
    # Sectors of 4096 bytes, beside the writer's own file; a directory whose chain goes round.
    write(out, 'sectors.xls', cfb([('Workbook', book(small, 'Data'))], shift=12))
    plain = xlwt.Workbook()
    small(plain.add_sheet('Data'))
    plain.save(os.path.join(out, 'plain.xls'))
    write(out, 'loop.xls', cfb([('Workbook', book(small, 'Data'))], loop=True))
    # Two sheets of one name; a password; only the workbook's first record.
    write(out, 'twice.xls', cfb([('Workbook', book(small, 'Same', 'Zzzz').replace(b'Zzzz', b'SAME'))]))
    write(out, 'password.xls', cfb([('Workbook', insert(book(small, 'Data'), record(0x002F, b'\1\0' + b'\0' * 52)))]))
    write(out, 'bof.xls', cfb([('Workbook', record(0x0809, struct.pack('<HHHHII', 0x0600, 5, 0, 0, 0, 0)))]))
    write(out, 'password.xlsx', cfb([('EncryptionInfo', os.urandom(512)), ('EncryptedPackage', os.urandom(4096))]))
    # A file larger than the memory ceiling, its bytes not on the disk.
    with open(os.path.join(out, 'huge.xls'), 'wb') as f:
        f.write(cfb([('Workbook', book(small, 'Data'))]))
        f.truncate(100 << 20)


def seeds(out):
    write(out, 'seed-shared-text-many-cells.xls', cfb([('Workbook', book(sharedText(150, 400), 'S'))]))
    write(out, 'seed-names-over-wide-sheet.xls', cfb([('Workbook', insert(book(wideSheet(60), 'W'), names(4, 60)))]))
    write(out, 'seed-many-sheets-one-place.xls', cfb([('Workbook', sameSheetMany(120))]))
    write(out, 'seed-directory-loop.xls', cfb([('Workbook', book(small, 'Data'))], loop=True))
    write(out, 'seed-4096-byte-sectors.xls', cfb([('Workbook', book(small, 'Data'))], shift=12))
    write(out, 'seed-password.xls', cfb([('Workbook', insert(book(small, 'D'), record(0x002F, b'\1\0' + b'\0' * 52)))]))


if __name__ == '__main__':
    if sys.argv[1] == '--seeds':
        seeds(sys.argv[2])
    else:
        hostile(sys.argv[1])
