#!/usr/bin/env python3
"""Writes the program files the zavectl tests read, byte by byte from the
file layout (format line, day shown, 7 x 12 x 4 slot bytes, signal name,
pulse time, sound-off byte), so that they do not depend on the codec."""
import os

DAYS = ["Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота", "Воскресенье"]


def line(text):
    return text.encode("cp1251") + b"\r\n"


def program(day_shown, slots, signal, pulse, sound_off):
    """slots: {(day, slot): (enabled, hour, minute, volume)} with 1-based numbers."""
    out = bytearray(line("wersia 3.00 unic"))
    out += line(DAYS[day_shown - 1])
    for d in range(1, 8):
        for k in range(1, 13):
            for value in slots.get((d, k), (0, 0, 0, 0)):
                out.append(value & 0xFF)
    out += line("Сигнал №%d" % signal)
    out += line(pulse)
    out.append(sound_off)
    return bytes(out)


def week():
    # Every kind of day for show and check: faults, disabled slots that keep
    # values, hour 13 and minute 10 (bytes 0x0D and 0x0A), unsorted slots.
    s = {
        (1, 1): (1, 8, 30, 50), (1, 3): (1, 7, 45, 40), (1, 5): (0, 9, 0, 70), (1, 12): (1, 13, 10, 100),
        (2, 1): (1, 8, 0, 50), (2, 2): (1, 8, 0, 60), (2, 4): (1, 12, 0, 0),
        (3, 4): (1, 10, 0, 120), (3, 6): (0, 10, 0, -56),
        (5, 1): (1, 14, 0, 30), (5, 2): (1, 14, 0, 30), (5, 3): (1, 14, 0, 30), (5, 7): (1, 15, 0, -1),
        (6, 2): (1, 23, 59, 75),
    }
    return program(3, s, 2, "10", 0)


def school():
    # A clean program: bells on school days, one signal on Saturday.
    s = {}
    bells = [(8, 0), (8, 45), (8, 55), (9, 40), (9, 50), (10, 35)]
    for d in range(1, 6):
        for k, (h, m) in enumerate(bells, start=1):
            s[(d, k)] = (1, h, m, 80)
        s[(d, 12)] = (0, 12, 0, 25)  # a spare slot kept disabled
    s[(6, 1)] = (1, 9, 0, 50)
    return program(1, s, 1, "12", 0)


here = os.path.dirname(os.path.abspath(__file__))
for name, content in (("week.ptm", week()), ("school.ptm", school())):
    with open(os.path.join(here, name), "wb") as f:
        f.write(content)
