#!/usr/bin/env python3
"""Write the installer's looping background tune as a Standard MIDI File.

Usage: gentune.py OUT.mid [--tiny]

The music is our own, composed by this script: a calm orchestral theme in
D minor (intro, theme A, theme B in F major, return of A, coda).
Output is deterministic: fixed seed, same bytes on every run.
--tiny writes a 2 second test tune (conductor + one loud piano track).
"""
import random
import struct
import sys

TPQ = 480                 # ticks per quarter note
BAR = 4 * TPQ             # 4/4 throughout
BPM = 72
SEED = 1848
GAP = 24                  # small articulation gap at note ends

# One chord per bar.  Sections: intro 0-3, A 4-11, B 12-19, return 20-27,
# coda 28-33.  The last bar is the tonic.
THEME_A = ['Dm', 'Bb', 'F', 'C', 'Gm', 'Dm', 'Gm', 'A']
THEME_B = ['F', 'C', 'Dm', 'Bb', 'F', 'Am', 'Bb', 'A']
PROG = (['Dm', 'Bb', 'Gm', 'A'] + THEME_A + THEME_B + THEME_A
        + ['Bb', 'F', 'Gm', 'A', 'Gm', 'Dm'])
BARS = len(PROG)
END = BARS * BAR          # every track ends here
LAST_OFF = END - TPQ // 2  # all sound stops half a beat before the end

CHORDS = {  # root pitch class, chord pitch classes
    'Dm': (2, (2, 5, 9)), 'Bb': (10, (10, 2, 5)), 'F': (5, (5, 9, 0)),
    'C': (0, (0, 4, 7)), 'Gm': (7, (7, 10, 2)), 'A': (9, (9, 1, 4)),
    'Am': (9, (9, 0, 4)),
}

# Melodies: 'pitch:beats' tokens, 'r' is a rest, '|' separates bars.
INTRO_CALL = 'r:1 D5:1.5 E5:.5 F5:1 | E5:3 r:1'
MEL_A = ('D5:2 A4:1 D5:.5 E5:.5 | F5:2 D5:1 Bb4:1 | C5:1.5 A4:.5 F4:1 A4:1 |'
         'G4:3 C5:1 | D5:1.5 Bb4:.5 G4:1 D5:1 | F5:2 E5:1 D5:1 |'
         'Bb4:1 D5:1 G5:1.5 F5:.5 | E5:2 C#5:1 A4:1')
MEL_B = ('A5:2 G5:1 F5:1 | E5:1.5 D5:.5 C5:2 | D5:1 F5:1 A5:1 G5:1 |'
         'F5:3 D5:1 | C5:1 F5:1 A5:1.5 Bb5:.5 | C6:2 A5:1 E5:1 |'
         'F5:1.5 G5:.5 D5:1 Bb4:1 | E5:2 C#5:1 E5:1')
MEL_CODA = ('D5:2 F5:1 D5:1 | C5:3 A4:1 | Bb4:1.5 A4:.5 G4:2 |'
            'A4:2 C#5:1 E5:1 | D5:3 Bb4:1 | D5:3.5 r:.5')


# ---------------------------------------------------------------- SMF bytes
def vlq(n):
    """Variable-length quantity, 7 bits per byte, high bit = more follows."""
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def chunk(tag, data):
    return tag + struct.pack('>I', len(data)) + data


def meta(kind, data):
    return bytes([0xFF, kind]) + vlq(len(data)) + data


def track_chunk(events, end):
    """events: (tick, order, bytes); order breaks ties at equal ticks."""
    out, now = bytearray(), 0
    for tick, _, ev in sorted(events, key=lambda e: (e[0], e[1])):
        out += vlq(tick - now) + ev
        now = tick
    out += vlq(end - now) + meta(0x2F, b'')
    return chunk(b'MTrk', bytes(out))


def smf(tracks):
    return chunk(b'MThd', struct.pack('>HHH', 1, len(tracks), TPQ)) + b''.join(tracks)


def conductor(name, bpm, sharps, minor, end):
    tempo = round(60_000_000 / bpm).to_bytes(3, 'big')
    ev = [(0, 0, meta(0x03, name.encode())),
          (0, 0, meta(0x51, tempo)),
          (0, 0, meta(0x58, bytes([4, 2, 24, 8]))),
          (0, 0, meta(0x59, bytes([sharps & 0xFF, minor])))]
    return track_chunk(ev, end)


# ------------------------------------------------------------------- parts
class Part:
    """One instrument track: channel setup, controllers and notes."""

    def __init__(self, name, ch, prog, vol, pan, rng=None, idx=()):
        self.name, self.ch, self.prog, self.vol, self.pan = name, ch, prog, vol, pan
        self.rng = rng
        self.idx = idx    # which voices of a chord voicing this part holds
        self.notes = []   # (start, dur, pitch, velocity)
        self.ccs = []     # (tick, controller, value)

    def add(self, start, dur, pitch, vel):
        if self.rng:
            vel += self.rng.randint(-4, 4)
        self.notes.append((start, dur, pitch, max(1, min(127, vel))))

    def events(self):
        c = self.ch
        ev = [(0, 0, meta(0x03, self.name.encode())),
              (0, 1, bytes([0xC0 | c, self.prog]))]
        setup = [(7, self.vol), (10, self.pan), (91, 64), (11, 127)]
        ev += [(0, 2, bytes([0xB0 | c, cc, v])) for cc, v in setup]
        ev += [(t, 2, bytes([0xB0 | c, cc, v])) for t, cc, v in self.ccs]
        for s, d, k, v in self.notes:
            ev.append((s + d, 3, bytes([0x80 | c, k, 64])))
            ev.append((s, 4, bytes([0x90 | c, k, v])))
        return ev


def trim_overlaps(part):
    """Within a track, cut a note short where the same pitch starts again."""
    last, out = {}, []
    for n in sorted(part.notes):
        s, _, k, _ = n
        if k in last and sum(out[last[k]][:2]) > s:
            ps, _, pk, pv = out[last[k]]
            out[last[k]] = (ps, s - ps, pk, pv)
        last[k] = len(out)
        out.append(n)
    part.notes = [n for n in out if n[1] > 0]


def dedupe_shared(parts):
    """Tracks sharing a channel must not sound the same pitch at once."""
    busy = {}
    for p in parts:
        keep = []
        for s, d, k, v in p.notes:
            spans = busy.setdefault((p.ch, k), [])
            if any(s < e and b < s + d for b, e, who in spans if who is not p):
                continue
            spans.append((s, s + d, p))
            keep.append((s, d, k, v))
        p.notes = keep


# ---------------------------------------------------------------- harmony
NAMES = {'C': 0, 'D': 2, 'E': 4, 'F': 5, 'G': 7, 'A': 9, 'B': 11}


def pitch(name):
    """'C#5' -> 73 (C4 = 60)."""
    n, i = NAMES[name[0]], 1
    while name[i] in '#b':
        n += 1 if name[i] == '#' else -1
        i += 1
    return n + 12 * (int(name[i:]) + 1)


def above(pc, lo):
    """Lowest pitch of class pc that is >= lo."""
    return lo + (pc - lo) % 12


def root(bar, lo):
    return above(CHORDS[PROG[bar]][0], lo)


def below(p, bar):
    """Highest chord tone at least a minor third under p."""
    pcs = CHORDS[PROG[bar]][1]
    return max(q for q in range(p - 15, p - 2) if q % 12 in pcs)


def voicings(name, lo, hi):
    pcs = CHORDS[name][1]
    out = []
    for base in range(lo, hi):
        if base % 12 in pcs:
            v = sorted(above(pc, base) for pc in pcs)
            if v[-1] <= hi:
                out.append(v)
    return out


def voice_lead(lo, hi):
    """Close triads per bar, each moving as little as possible."""
    prev, res = [lo + 4, lo + 8, lo + 12], []
    for name in PROG:
        prev = min(voicings(name, lo, hi),
                   key=lambda v: sum(abs(a - b) for a, b in zip(v, prev)))
        res.append(prev)
    return res


def phrase(text, bar0):
    """Parse a melody into (start tick, ticks, pitch) from bar bar0."""
    out, bar = [], bar0
    for seg in text.split('|'):
        beat = 0.0
        for tok in seg.split():
            name, beats = tok.split(':')
            if name != 'r':
                out.append((bar * BAR + round(beat * TPQ), round(float(beats) * TPQ),
                            pitch(name), bar))
            beat += float(beats)
        assert beat == 4, (bar, seg)
        bar += 1
    return out


# ---------------------------------------------------------------- writing
def bar_span(bar):
    """Start and length of a held bar; the final bar stops early."""
    s = bar * BAR
    return s, min(s + BAR, LAST_OFF) - s


def hold(part, bars, voices, vel, shift=0):
    """Sustain voicing notes (chosen indices) for each bar."""
    for b in bars:
        s, d = bar_span(b)
        for i in part.idx:
            part.add(s, d - GAP, voices[b][i] + shift, vel)


def roots(part, bars, lo, vel, beats=4):
    for b in bars:
        s, d = bar_span(b)
        for t in range(0, d, beats * TPQ):
            part.add(s + t, min(beats * TPQ, d - t) - GAP, root(b, lo), vel)


def melody(part, text, bar0, vel, shift=0, harmony=False):
    for s, d, p, b in phrase(text, bar0):
        k = below(p, b) if harmony else p
        part.add(s, d - GAP, k + shift, vel + (6 if d >= TPQ * 2 else 0))


def tones(bar, lo):
    """Two octaves of chord tones upward from the root (6 pitches)."""
    r = root(bar, lo)
    return sorted(above(pc, r + o) for pc in CHORDS[PROG[bar]][1] for o in (0, 12))


def arpeggio(part, bars, vel):
    """Rolling eighth notes up and down the chord, letting notes ring."""
    for b in bars:
        t = tones(b, 45)
        for i, j in enumerate([0, 1, 2, 3, 4, 5, 4, 2]):
            part.add(b * BAR + i * TPQ // 2, TPQ * 2, t[j], vel - (i % 2) * 8)


def figure(part, bars, lo, vel, steps=(0, 2, 3, 2)):
    """Quarter notes on chord tones (default root, fifth, octave, fifth)."""
    for b in bars:
        t = tones(b, lo)
        for i, j in enumerate(steps):
            part.add(b * BAR + i * TPQ, TPQ - GAP * 4, t[j], vel)


def bars_of(text, i, j):
    """Bars i..j-1 of a melody text."""
    return '|'.join(text.split('|')[i:j])


def roll(part, bar, beat, beats, key, v0, v1):
    """Timpani roll in sixteenths with a dynamic ramp."""
    n = beats * 4
    for i in range(n):
        part.add(bar * BAR + beat * TPQ + i * TPQ // 4, TPQ // 4 - 10, key,
                 round(v0 + (v1 - v0) * i / (n - 1)))


def fade(part, start, stop, v0, v1, step=TPQ // 4):
    """Expression (CC11) ramp from v0 to v1."""
    n = (stop - start) // step
    for i in range(n + 1):
        part.ccs.append((start + i * step, 11, round(v0 + (v1 - v0) * i / n)))


# ------------------------------------------------------------ orchestration
def make_parts(rng):
    layout = [  # name, channel, GM program, volume, pan, voicing indices
        ('Flute 1', 0, 73, 92, 70, ()), ('Flute 2', 0, 73, 92, 70, ()),
        ('Oboe', 1, 68, 96, 58, ()), ('Clarinet', 2, 71, 84, 52, (1,)),
        ('Bassoon', 3, 70, 82, 74, ()), ('Horn 1', 4, 60, 84, 44, (2,)),
        ('Horn 2', 4, 60, 84, 44, (1,)), ('Trombone', 5, 57, 70, 82, ()),
        ('Timpani', 14, 47, 90, 64, ()), ('Percussion', 9, 0, 80, 64, ()),
        ('Harp', 6, 46, 88, 30, ()), ('Celesta', 7, 8, 80, 98, ()),
        ('Choir', 13, 52, 78, 64, (0, 1, 2)), ('Violins 1', 8, 48, 96, 38, (2,)),
        ('Violins 2', 8, 48, 96, 38, (1, 2)), ('Violas', 10, 49, 86, 76, (0,)),
        ('Cellos', 11, 42, 88, 86, ()), ('Basses', 12, 43, 90, 96, ()),
        ('Pizzicato', 15, 45, 80, 50, ()),
    ]
    return {s[0]: Part(*s[:5], rng=rng, idx=s[5]) for s in layout}


INTRO, A, B, RET, CODA = (range(0, 4), range(4, 12), range(12, 20),
                          range(20, 28), range(28, BARS))


def strings(p, pad, high):
    for sec, v in ((INTRO, 46), (A, 52), (B, 60), (RET, 66), (CODA, 52)):
        hold(p['Violins 2'], sec, pad, v)
        hold(p['Violas'], sec, pad, v)
        roots(p['Basses'], sec, 34, v + 6)
    for sec, v in ((INTRO, 40), (range(8, 12), 46), (B, 54), (CODA, 44)):
        hold(p['Violins 1'], sec, high, v)
    melody(p['Violins 1'], MEL_A, RET.start, 80)
    roots(p['Cellos'], list(INTRO) + list(A) + list(CODA), 45, 56)
    roots(p['Cellos'], B, 45, 60, beats=2)
    figure(p['Cellos'], RET, 45, 62, steps=(0, 2, 3, 4))
    figure(p['Pizzicato'], A, 45, 60)
    for b in RET:
        for beat in (1, 3):
            p['Pizzicato'].add(b * BAR + beat * TPQ, TPQ // 2, pad[b][0], 54)


def winds(p, horns):
    melody(p['Flute 1'], INTRO_CALL, 2, 58)
    melody(p['Oboe'], MEL_A, A.start, 74)
    melody(p['Clarinet'], bars_of(MEL_A, 4, 8), 8, 56, harmony=True)
    melody(p['Flute 1'], MEL_B, B.start, 76)
    melody(p['Flute 2'], MEL_B, B.start, 62, harmony=True)
    melody(p['Flute 1'], bars_of(MEL_A, 4, 8), 24, 58)
    melody(p['Oboe'], MEL_CODA, CODA.start, 70)
    melody(p['Clarinet'], MEL_CODA, CODA.start, 52, harmony=True)
    roots(p['Bassoon'], range(8, 12), 45, 58, beats=2)
    roots(p['Bassoon'], CODA, 45, 50)
    hold(p['Clarinet'], RET, horns, 50)
    roots(p['Trombone'], list(RET) + list(CODA[:4]), 40, 48)
    for sec, v in ((B, 54), (CODA, 48)):
        hold(p['Horn 1'], sec, horns, v)
        hold(p['Horn 2'], sec, horns, v)
    melody(p['Horn 2'], MEL_A, RET.start, 60, shift=-12, harmony=True)
    melody(p['Horn 1'], MEL_A, RET.start, 70, shift=-12)


def colour(p, choir):
    for sec, v in ((INTRO, 44), (B, 52), (RET, 56), (CODA, 44)):
        hold(p['Choir'], sec, choir, v)
    arpeggio(p['Harp'], range(0, BARS - 1), 60)
    for i, k in enumerate((50, 57, 62, 65, 69, 74)):  # rolled final D minor
        p['Harp'].add((BARS - 1) * BAR + i * 60, LAST_OFF - (BARS - 1) * BAR - i * 60,
                      k, 62)
    cel = p['Celesta']
    for b in INTRO:
        for beat in (0, 2):
            cel.add(b * BAR + beat * TPQ, TPQ * 2 - GAP, choir[b][2] + 12, 50)
    for s, d, k, b in phrase(MEL_B, B.start):
        if s % BAR == 0:
            cel.add(s, TPQ * 2 - GAP, k + 12, 46)
    for i, k in enumerate((86, 81, 77, 74)):  # gentle falling D minor to close
        s = (BARS - 1) * BAR + i * TPQ
        cel.add(s, min(TPQ * 2, LAST_OFF - s) - GAP, k, 44 - i * 3)


def drums(p):
    t, kit = p['Timpani'], p['Percussion']
    roll(t, 3, 1, 3, 45, 28, 72)
    roll(t, 19, 2, 2, 45, 30, 78)
    for sec, v in ((A, 54), (RET, 66)):
        for b in sec:
            if PROG[b] in ('Dm', 'A'):
                t.add(b * BAR, TPQ, root(b, 38), v)
    t.add((BARS - 1) * BAR, TPQ * 3, 38, 44)
    for b in (12, 14, 16, 18, BARS - 1):
        kit.add(b * BAR, TPQ, 81, 38)          # open triangle
    kit.add(RET.start * BAR, TPQ * 2, 49, 52)   # soft crash at the return
    for b in RET:
        kit.add(b * BAR, TPQ, 35, 40)           # soft bass drum


def tune():
    rng = random.Random(SEED)
    p = make_parts(rng)
    horns, choir = voice_lead(53, 67), voice_lead(57, 76)
    pad, high = voice_lead(55, 74), voice_lead(64, 81)
    strings(p, pad, high)
    winds(p, horns)
    colour(p, choir)
    drums(p)
    parts = list(p.values())
    for part in parts:
        trim_overlaps(part)
    dedupe_shared(parts)
    first = {}
    for part in parts:  # final diminuendo, once per channel
        if first.setdefault(part.ch, part) is part:
            fade(part, (BARS - 2) * BAR, LAST_OFF, 127, 52)
        assert all(s + d <= LAST_OFF for s, d, _, _ in part.notes), part.name
    cond = conductor('Frontier expedition', BPM, -1, 1, END)
    return smf([cond] + [track_chunk(q.events(), END) for q in parts])


def tiny():
    """Two seconds: four loud piano chords, one per beat, at 120 BPM."""
    end = 4 * TPQ
    piano = Part('Piano', 0, 0, 127, 64)
    for i, chord in enumerate(((48, 60, 64, 67), (53, 60, 65, 69),
                               (55, 59, 62, 67), (48, 60, 64, 72))):
        for k in chord:
            piano.add(i * TPQ, TPQ - 40, k, 112)
    cond = conductor('Tiny test', 120, 0, 0, end)
    return smf([cond, track_chunk(piano.events(), end)])


def main(argv):
    args = [a for a in argv if a != '--tiny']
    if len(args) != 1:
        sys.exit('usage: gentune.py OUT.mid [--tiny]')
    data = tiny() if '--tiny' in argv else tune()
    with open(args[0], 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main(sys.argv[1:])
