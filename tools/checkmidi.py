#!/usr/bin/env python3
"""Parse and validate a Standard MIDI File.

Usage: checkmidi.py FILE

Prints format, track count, division, duration (using the tempo map) and
notes per track.  Checks: MThd length 6, MTrk lengths, End of Track last in
every track, no dangling notes, same end tick for all tracks.
Exits 1 if any problem is found.
"""
import struct
import sys

DATA_BYTES = {0x80: 2, 0x90: 2, 0xA0: 2, 0xB0: 2, 0xC0: 1, 0xD0: 1, 0xE0: 2}


class Bad(Exception):
    pass


def read_vlq(buf, pos):
    """Decode a variable-length quantity (at most 4 bytes)."""
    value = 0
    for i in range(4):
        if pos >= len(buf):
            raise Bad('truncated variable-length quantity')
        b = buf[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if not b & 0x80:
            return value, pos
    raise Bad('variable-length quantity longer than 4 bytes')


def read_chunks(data):
    """Split the file into (tag, body) chunks, checking declared lengths."""
    pos, out = 0, []
    while pos < len(data):
        if pos + 8 > len(data):
            raise Bad('truncated chunk header at byte %d' % pos)
        tag, size = data[pos:pos + 4], struct.unpack('>I', data[pos + 4:pos + 8])[0]
        if pos + 8 + size > len(data):
            raise Bad('%s chunk length %d runs past end of file' % (tag, size))
        out.append((tag, data[pos + 8:pos + 8 + size]))
        pos += 8 + size
    return out


def parse_track(body):
    """Return (events, end_tick); events are (tick, kind, data) tuples."""
    pos, tick, status, events = 0, 0, None, []
    while pos < len(body):
        delta, pos = read_vlq(body, pos)
        tick += delta
        if pos >= len(body):
            raise Bad('event missing after delta time')
        if body[pos] & 0x80:
            status = body[pos]
            pos += 1
        elif status is None or status >= 0xF0:
            raise Bad('data byte without running status')
        if status == 0xFF:
            kind = body[pos]
            size, pos = read_vlq(body, pos + 1)
            events.append((tick, ('meta', kind), body[pos:pos + size]))
            pos += size
            status = None
            if kind == 0x2F:
                if size != 0:
                    raise Bad('End of Track with non-zero length')
                if pos != len(body):
                    raise Bad('bytes after End of Track')
                return events, tick
        elif status in (0xF0, 0xF7):
            size, pos = read_vlq(body, pos)
            pos += size
            status = None
        elif status >= 0xF0:
            raise Bad('system message 0x%02X not allowed in a file' % status)
        else:
            n = DATA_BYTES[status & 0xF0]
            args = body[pos:pos + n]
            if len(args) != n or any(a & 0x80 for a in args):
                raise Bad('bad data bytes for status 0x%02X' % status)
            events.append((tick, status, bytes(args)))
            pos += n
    raise Bad('track does not end with End of Track (FF 2F 00)')


def count_notes(events):
    """Return (notes, problems) pairing note-ons with note-offs."""
    sounding, notes, problems = {}, 0, []
    for tick, st, args in events:
        if not isinstance(st, int) or st & 0xE0 != 0x80:
            continue
        key = (st & 0x0F, args[0])
        if st & 0xF0 == 0x90 and args[1] > 0:
            sounding[key] = sounding.get(key, 0) + 1
            notes += 1
        elif sounding.get(key):
            sounding[key] -= 1
        else:
            problems.append('note-off without note-on: ch %d key %d at tick %d'
                            % (key[0], key[1], tick))
    for (ch, key), n in sounding.items():
        if n:
            problems.append('dangling note: ch %d key %d' % (ch, key))
    return notes, problems


def seconds(tick_end, tempos, division):
    """Seconds up to tick_end given [(tick, us per quarter)]."""
    total, last, us = 0.0, 0, 500000
    for tick, t in sorted(tempos):
        if tick >= tick_end:
            break
        total += (tick - last) * us / division / 1e6
        last, us = tick, t
    return total + (tick_end - last) * us / division / 1e6


def track_name(events):
    for _, st, data in events:
        if st == ('meta', 0x03):
            return data.decode('latin-1')
    return ''


def check(data):
    """Print a report; return a list of problems."""
    if data[:4] != b'MThd' or len(data) < 14:
        raise Bad('file does not start with an MThd chunk')
    size = struct.unpack('>I', data[4:8])[0]
    if size != 6:
        raise Bad('MThd length is %d, expected 6' % size)
    chunks = read_chunks(data)
    fmt, ntrks, division = struct.unpack('>HHH', chunks[0][1])
    if fmt > 2:
        raise Bad('unknown format %d' % fmt)
    if division & 0x8000:
        raise Bad('SMPTE division not supported')
    tracks = [body for tag, body in chunks[1:] if tag == b'MTrk']
    problems = [] if len(tracks) == ntrks else [
        'header says %d tracks, file has %d' % (ntrks, len(tracks))]
    print('format %d, %d tracks, division %d' % (fmt, ntrks, division))
    ends, tempos = [], []
    for i, body in enumerate(tracks):
        try:
            events, end = parse_track(body)
        except Bad as e:
            problems.append('track %d: %s' % (i + 1, e))
            continue
        ends.append(end)
        tempos += [(t, int.from_bytes(d, 'big')) for t, st, d in events
                   if st == ('meta', 0x51)]
        notes, probs = count_notes(events)
        problems += ['track %d: %s' % (i + 1, p) for p in probs]
        print('track %2d: %5d notes, end tick %d  %s' % (i + 1, notes, end,
                                                       track_name(events)))
    if len(set(ends)) > 1:
        problems.append('End of Track ticks differ: %s' % sorted(set(ends)))
    if ends:
        print('duration %.3f s (%d ticks)' % (seconds(max(ends), tempos, division),
                                              max(ends)))
    return problems


def main(argv):
    if len(argv) != 1:
        sys.exit('usage: checkmidi.py FILE')
    with open(argv[0], 'rb') as f:
        data = f.read()
    try:
        problems = check(data)
    except Bad as e:
        problems = [str(e)]
    for p in problems:
        print('PROBLEM:', p)
    print('OK' if not problems else 'FAILED')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
