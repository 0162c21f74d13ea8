#!/usr/bin/env python3
"""Synthesises Glimmet's built-in reminder cues as mono 16-bit WAV files.

Every cue is made here from sine partials and envelopes: no recording of anyone else's is used.
The piano cues are short excerpts of public-domain melodies (Bach, Beethoven, Mozart) played by
a simple piano-like voice; the build turns those into Ogg Vorbis.

Usage: generate-sounds.py OUTPUT_DIR
Writes OUTPUT_DIR/generated/<cue>.wav and OUTPUT_DIR/classics-wav/<cue>.wav.
"""
import math
import os
import struct
import sys
import wave

RATE = 22050
A4 = 440.0
NOTE_INDEX = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}


def frequency(note):
    """'C#5' -> Hz."""
    name, rest = note[0], note[1:]
    shift = 0
    while rest and rest[0] in "#b":
        shift += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    semitones = NOTE_INDEX[name] + shift + (int(rest) - 4) * 12
    return A4 * 2 ** (semitones / 12)


class Track:
    def __init__(self, seconds):
        self.samples = [0.0] * int(seconds * RATE)

    def add(self, start, samples):
        offset = int(start * RATE)
        end = min(len(self.samples), offset + len(samples))
        for i in range(offset, end):
            self.samples[i] += samples[i - offset]

    def write(self, path, peak=0.8):
        loudest = max(1e-9, max(abs(s) for s in self.samples))
        scale = peak / loudest
        fade = int(0.01 * RATE)
        frames = bytearray()
        count = len(self.samples)
        for i, sample in enumerate(self.samples):
            gain = min(1.0, (count - 1 - i) / fade) if i >= count - fade else 1.0
            frames += struct.pack("<h", int(max(-1.0, min(1.0, sample * scale * gain)) * 32767))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with wave.open(path, "wb") as out:
            out.setnchannels(1)
            out.setsampwidth(2)
            out.setframerate(RATE)
            out.writeframes(bytes(frames))


def tone(freq, seconds, partials=((1, 1.0),), attack=0.005, decay=3.0, square=False):
    """A note: partials (harmonic, weight) under an attack and an exponential decay."""
    count = int(seconds * RATE)
    out = []
    for i in range(count):
        t = i / RATE
        envelope = min(1.0, t / attack) * math.exp(-decay * t)
        value = 0.0
        for harmonic, weight in partials:
            phase = 2 * math.pi * freq * harmonic * t
            value += weight * ((1.0 if math.sin(phase) >= 0 else -1.0) * 0.5 if square
                               else math.sin(phase))
        out.append(value * envelope)
    return out


PIANO = ((1, 1.0), (2, 0.45), (3, 0.22), (4, 0.1), (5, 0.05))
BELL = ((1, 1.0), (2.76, 0.3), (5.4, 0.12))
BRASS = ((1, 1.0), (2, 0.6), (3, 0.45), (4, 0.3), (5, 0.15))


def piano(track, notes, velocity=1.0):
    """notes: (start seconds, note name, length seconds)."""
    for start, note, length in notes:
        decay = 1.6 + frequency(note) / 600
        track.add(start, [s * velocity for s in tone(frequency(note), length + 0.6, PIANO,
                                                      attack=0.004, decay=decay)])


def kenney_confirm():
    track = Track(1.6)
    for i, note in enumerate(["C5", "E5", "G5", "C6"]):
        track.add(i * 0.07, tone(frequency(note), 0.5, ((1, 1.0),), decay=7.0, square=True))
    track.add(0.3, tone(frequency("G6"), 0.9, ((1, 0.5),), decay=5.0))
    return track


def epic_quest():
    track = Track(2.9)
    for start, note, length in [(0.0, "G4", 0.18), (0.18, "C5", 0.18), (0.36, "E5", 0.18),
                                (0.54, "G5", 1.6)]:
        track.add(start, tone(frequency(note), length + 0.8, BRASS, attack=0.03, decay=1.4))
    for note in ["C4", "G4", "E5"]:
        track.add(0.54, tone(frequency(note), 2.3, PIANO, attack=0.2, decay=1.1))
    return track


def arena_victory():
    track = Track(2.2)
    track.add(0.0, tone(70, 0.4, ((1, 1.0), (1.5, 0.5)), attack=0.002, decay=12.0))
    for start, chord in [(0.12, ["A4", "C#5", "E5"]), (0.42, ["D5", "F#5", "A5"])]:
        for note in chord:
            track.add(start, tone(frequency(note), 1.6, BRASS, attack=0.01, decay=2.2))
    return track


def cabin_chime():
    track = Track(1.35)
    track.add(0.0, tone(frequency("E5"), 1.2, BELL, attack=0.01, decay=3.2))
    track.add(0.38, tone(frequency("C5"), 0.95, BELL, attack=0.01, decay=3.6))
    return track


def seatbelt_chime():
    track = Track(1.15)
    track.add(0.0, tone(frequency("A5"), 1.1, BELL, attack=0.008, decay=4.0))
    return track


def boarding_ping():
    track = Track(0.8)
    track.add(0.0, tone(frequency("B5"), 0.75, ((1, 1.0), (2, 0.2)), attack=0.004, decay=6.5))
    return track


def goldberg_aria():
    # The opening bars of the Aria's melody over its bass line (Bach, BWV 988).
    beat = 0.42
    track = Track(3.0)
    melody = [(0, "G5", 1), (1, "G5", 0.5), (1.5, "A5", 0.25), (1.75, "G5", 0.25),
              (2, "F#5", 0.5), (2.5, "E5", 0.25), (2.75, "F#5", 0.25), (3, "D5", 1.5),
              (4.5, "B4", 0.5), (5, "C5", 0.5), (5.5, "D5", 0.5)]
    bass = [(0, "G3", 3), (3, "F#3", 3)]
    piano(track, [(s * beat, n, l * beat) for s, n, l in melody])
    piano(track, [(s * beat, n, l * beat) for s, n, l in bass], velocity=0.6)
    return track


def moonlight_sonata():
    # The first bar's triplets over the octave bass (Beethoven, Op. 27 No. 2).
    step = 0.22
    track = Track(3.0)
    triplet = ["G#3", "C#4", "E4"]
    piano(track, [(i * step, triplet[i % 3], step * 2) for i in range(12)], velocity=0.7)
    piano(track, [(0.0, "C#3", 2.6), (0.0, "C#2", 2.6)], velocity=0.8)
    piano(track, [(1.98, "G#4", 0.8)], velocity=0.9)
    return track


def rondo_alla_turca():
    # The theme's opening run (Mozart, K. 331, third movement).
    step = 0.13
    notes = ["B4", "A4", "G#4", "A4", "C5", None, None, None, "D5", "C5", "B4", "C5", "E5",
             None, None, None, "F5", "E5", "D#5", "E5", "B5", "A5", "G#5"]
    track = Track(3.0)
    piano(track, [(i * step, n, step * 1.5) for i, n in enumerate(notes) if n])
    piano(track, [(0.52, "A3", 0.4), (1.04, "A3", 0.4), (1.56, "A3", 0.4), (2.08, "E3", 0.5)],
          velocity=0.5)
    return track


CUES = {
    "generated/kenney-confirm.wav": kenney_confirm,
    "generated/epic-quest.wav": epic_quest,
    "generated/arena-victory.wav": arena_victory,
    "generated/cabin-chime.wav": cabin_chime,
    "generated/seatbelt-chime.wav": seatbelt_chime,
    "generated/boarding-ping.wav": boarding_ping,
    "classics-wav/goldberg-aria.wav": goldberg_aria,
    "classics-wav/moonlight-sonata.wav": moonlight_sonata,
    "classics-wav/rondo-alla-turca.wav": rondo_alla_turca,
}


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    for name, make in CUES.items():
        make().write(os.path.join(argv[1], name))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
