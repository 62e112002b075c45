#!/usr/bin/env python3
"""Generates the game's sound effects (*.wav) and the pen cursor (pen.png).

Standard library only, deterministic: running it again gives the same bytes.
Usage: python3 make_media.py [output folder]   (default: the folder of this script)
"""

import math
import os
import random
import struct
import sys
import wave
import zlib

RATE = 22050
PEAK = 0.6 * 32767


def note(name):
    """Frequency of a note such as "C5" or "F#4" (A4 = 440 Hz)."""
    steps = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}
    semis = steps[name[0]]
    rest = name[1:]
    if rest.startswith("#"):
        semis += 1
        rest = rest[1:]
    elif rest.startswith("b"):
        semis -= 1
        rest = rest[1:]
    return 440.0 * 2 ** ((semis + 12 * (int(rest) - 4)) / 12)


def silence(seconds):
    return [0.0] * int(RATE * seconds)


def mix(into, sound, at=0.0, gain=1.0):
    start = int(RATE * at)
    if len(into) < start + len(sound):
        into.extend([0.0] * (start + len(sound) - len(into)))
    for i, s in enumerate(sound):
        into[start + i] += s * gain
    return into


def envelope(n, attack, decay_rate, release=0.02):
    """Soft attack, exponential decay, short fade at the end so nothing clicks."""
    a = max(1, int(RATE * attack))
    r = max(1, int(RATE * release))
    env = []
    for i in range(n):
        t = i / RATE
        v = math.exp(-decay_rate * t)
        if i < a:
            v *= 0.5 - 0.5 * math.cos(math.pi * i / a)
        if i >= n - r:
            v *= (n - i) / r
        env.append(v)
    return env


def tone(freq, seconds, partials=((1, 1.0),), attack=0.005, decay=6.0, glide_to=None):
    n = int(RATE * seconds)
    env = envelope(n, attack, decay)
    out = []
    phase = [0.0] * len(partials)
    for i in range(n):
        f = freq if glide_to is None else freq * (glide_to / freq) ** (i / n)
        s = 0.0
        for k, (mult, amp) in enumerate(partials):
            phase[k] += 2 * math.pi * f * mult / RATE
            s += amp * math.sin(phase[k])
        out.append(s * env[i])
    return out


def bell(freq, seconds, decay=3.5):
    # Inharmonic partials give the struck-metal colour; upper ones die away faster.
    sound = []
    for mult, amp, extra in ((1.0, 1.0, 0.0), (2.76, 0.45, 2.0), (5.40, 0.25, 4.0), (8.93, 0.12, 6.0)):
        mix(sound, tone(freq * mult, seconds, attack=0.002, decay=decay + extra), gain=amp)
    return sound


def noise_sweep(seconds, seed=7):
    """A soft "whoosh": noise through a one-pole low-pass whose cut-off falls."""
    rng = random.Random(seed)
    n = int(RATE * seconds)
    env = envelope(n, 0.03, 5.0, release=0.05)
    out, y = [], 0.0
    for i in range(n):
        cutoff = 4000 * (1 - i / n) + 300
        alpha = 1 - math.exp(-2 * math.pi * cutoff / RATE)
        y += alpha * (rng.uniform(-1, 1) - y)
        out.append(y * env[i] * 2.5)
    return out


def normalise(sound):
    top = max(abs(s) for s in sound) or 1.0
    return [s / top for s in sound]


def write_wav(path, sound):
    sound = normalise(sound)
    assert len(sound) < 1.5 * RATE, path
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(round(s * PEAK))) for s in sound))


def sounds():
    warm = ((1, 1.0), (2, 0.3), (3, 0.1))
    s = {}
    s["click"] = tone(1800, 0.05, attack=0.001, decay=80)
    s["click2"] = tone(1200, 0.06, partials=((1, 1.0), (2, 0.2)), attack=0.001, decay=60)
    s["cls"] = noise_sweep(0.35)

    connect = []
    mix(connect, tone(note("C5"), 0.25, warm, decay=9), 0.0)
    mix(connect, tone(note("G5"), 0.35, warm, decay=7), 0.12)
    s["connect"] = connect

    disconnect = []
    mix(disconnect, tone(note("G4"), 0.25, warm, decay=9), 0.0)
    mix(disconnect, tone(note("C4"), 0.4, warm, decay=7), 0.14)
    s["disconnect"] = disconnect

    s["question"] = bell(note("A5"), 1.3)

    ok = []
    mix(ok, bell(note("E6"), 0.5, decay=7), 0.0)
    mix(ok, bell(note("B6"), 0.8, decay=5), 0.1, gain=0.9)
    s["ok"] = ok

    ng = []
    buzz = ((1, 1.0), (2, 0.5), (3, 0.35), (4, 0.2))
    mix(ng, tone(note("D3"), 0.18, buzz, attack=0.01, decay=4), 0.0)
    mix(ng, tone(note("C#3"), 0.35, buzz, attack=0.01, decay=4), 0.22)
    s["ng"] = ng

    win = []
    for i, name in enumerate(("C5", "E5", "G5", "C6")):
        mix(win, bell(note(name), 0.9 if i < 3 else 1.05, decay=4), 0.1 * i, gain=0.8)
    s["win"] = win

    lose = []
    for i, (name, length) in enumerate((("G4", 0.35), ("E4", 0.35), ("C4", 0.6))):
        mix(lose, tone(note(name), length, warm, attack=0.01, decay=4), 0.28 * i)
    mix(lose, tone(note("C4"), 0.5, warm, attack=0.01, decay=5, glide_to=note("A3")), 0.84, gain=0.5)
    s["lose"] = lose
    return s


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples; written as 8-bit RGBA."""
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += png_chunk(b"IDAT", zlib.compress(raw, 9))
    data += png_chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def pen_cursor(size=32):
    """A pencil lying from the lower left (its tip, the hot spot at 1,30) to the upper right."""
    tip = (1.5, 30.5)
    d = (1 / math.sqrt(2), -1 / math.sqrt(2))

    def part(x, y):
        px, py = x + 0.5 - tip[0], y + 0.5 - tip[1]
        u = px * d[0] + py * d[1]
        v = px * -d[1] + py * d[0]
        if u < 0.0:
            return None
        if u < 3.0:
            return "lead" if abs(v) <= max(0.7, u * 0.5) else None
        if u < 8.0:
            return "wood" if abs(v) <= u * 0.5 else None
        if u < 32.0:
            if abs(v) <= 0.8:
                return "stripe"
            return "body" if abs(v) <= 4.0 else None
        if u < 36.0:
            return "eraser" if abs(v) <= 4.0 else None
        return None

    colours = {
        "lead": (40, 40, 40, 255),
        "wood": (236, 200, 150, 255),
        "body": (250, 190, 30, 255),
        "stripe": (200, 130, 10, 255),
        "eraser": (240, 130, 150, 255),
    }
    outline = (20, 20, 20, 255)
    clear = (0, 0, 0, 0)
    inside = [[part(x, y) for x in range(size)] for y in range(size)]

    def touches(x, y):
        return any(
            0 <= x + dx < size and 0 <= y + dy < size and inside[y + dy][x + dx]
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))
        )

    return [
        [colours[inside[y][x]] if inside[y][x] else (outline if touches(x, y) else clear) for x in range(size)]
        for y in range(size)
    ]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, sound in sounds().items():
        write_wav(os.path.join(out, name + ".wav"), sound)
    write_png(os.path.join(out, "pen.png"), 32, 32, pen_cursor())


if __name__ == "__main__":
    main()
