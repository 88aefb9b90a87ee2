#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz target (see fuzz_convert.cpp for the layout)."""

import os
import struct
import sys

EXT = {"cmc": 0, "mpt": 1, "md1": 2, "tmc": 3, "tm8": 4, "com": 5, "none": 6, "d15": 7}
LOAD, LOAD_CANCELLED, SAVE_AS, SAVE, SAVE_AS_CANCELLED, NOTHING = 0, 1, 2, 3, 4, 5


def atari(start, data):
    return struct.pack("<HHH", 0xFFFF, start, start + len(data) - 1) + bytes(data)


def player(code_length, start=0x0500):
    return struct.pack("<HHH", 0xFFFF, start, start + code_length - 1) + bytes((0x18 + 7 * i) & 0xFF for i in range(code_length))


def seed(ext="cmc", upper=False, info_clear=False, samples_cancelled=False, no_samples=False, no_module=False,
         no_players=0, output=0, output_exists=False, commands=(LOAD, SAVE_AS),
         module_padding=0, sample_padding=0, player_padding=0,
         module=b"", samples=b"", player_bytes=b"", name=b"Tune", author=b"Orvex", date=b"1999",
         module_name=b"song", output_name=b"song.sap"):
    choices = EXT[ext] | upper << 3 | info_clear << 4 | samples_cancelled << 5 | no_samples << 6 | no_module << 7
    output_choices = no_players | output << 3 | output_exists << 5
    steps = list(commands) + [NOTHING] * (4 - len(commands))
    word = sum(step << (4 * i) for i, step in enumerate(steps))
    out = struct.pack("<BBHHHH", choices, output_choices, word, module_padding // 2, sample_padding // 2,
                      player_padding // 2)
    for part in (module, samples, player_bytes, name, author, date, module_name, output_name):
        out += struct.pack("<H", len(part)) + bytes(part)
    return out


def tmc(start, speed):
    data = bytearray(0x40 + i for i in range(48))
    data[31] = speed
    return atari(start, data)


def main(folder):
    tune = bytes(range(0x40, 0x80))
    seeds = {
        "cmc-0500": seed("cmc", module=atari(0x2000, tune), player_bytes=player(64)),
        "cmc-f500-save": seed("cmc", module=atari(0x0C00, tune), player_bytes=player(64), commands=(LOAD, SAVE)),
        "mpt-0500": seed("mpt", module=atari(0x4000, tune), player_bytes=player(100)),
        "mpt-f500-upper": seed("mpt", upper=True, module=atari(0x0FFF, tune), player_bytes=player(100)),
        "md1-samples": seed("md1", module=atari(0x4000, tune), samples=bytes([0x20]) + bytes(1055),
                            player_bytes=player(100)),
        "md1-overlap-short": seed("md1", module=atari(0x2000, bytes(0x2000)), samples=bytes([0x3F]) + bytes(999),
                                  player_bytes=player(100)),
        "md1-cancelled": seed("md1", samples_cancelled=True, module=atari(0x4000, tune), player_bytes=player(100),
                              commands=(LOAD, SAVE, SAVE_AS)),
        "md1-page-zero": seed("md1", module=atari(0x4000, tune), samples=bytes(40), player_bytes=player(100)),
        "md1-no-sample-file": seed("md1", no_samples=True, module=atari(0x4000, tune), player_bytes=player(100)),
        "tmc-speed1": seed("tmc", module=tmc(0x3000, 1), player_bytes=player(120)),
        "tmc-speed2-f500": seed("tmc", module=tmc(0x0800, 2), player_bytes=player(120)),
        "tmc-speed4": seed("tmc", module=tmc(0x3000, 4), player_bytes=player(120), commands=(LOAD, SAVE)),
        "tm8-speed3": seed("tm8", module=tmc(0x3000, 3), player_bytes=player(120)),
        "tmc-speed5": seed("tmc", module=tmc(0x3000, 5), player_bytes=player(120)),
        "tmc-short": seed("tmc", module=atari(0x3000, bytes(20)), player_bytes=player(120)),
        "com": seed("com", module=atari(0x8000, bytes(64)), name=b"", author=b"", date=b""),
        "unknown-extension": seed("none", module=atari(0x2000, tune), module_name=b"song.xyz"),
        "d15-as-module": seed("d15", module=atari(0x2000, tune)),
        "no-module-file": seed("mpt", no_module=True, player_bytes=player(100), commands=(LOAD, SAVE_AS, SAVE)),
        "save-before-load": seed("mpt", module=atari(0x2000, tune), player_bytes=player(100),
                                 commands=(SAVE, SAVE_AS, LOAD_CANCELLED, LOAD)),
        "one-save-per-load": seed("mpt", module=atari(0x2000, tune), player_bytes=player(100),
                                  commands=(LOAD, SAVE_AS_CANCELLED, SAVE_AS, SAVE)),
        "save-twice-with-reload": seed("tmc", module=tmc(0x3000, 2), player_bytes=player(100),
                                       commands=(LOAD, SAVE, LOAD, SAVE_AS)),
        "no-player": seed("mpt", no_players=7, module=atari(0x2000, tune)),
        "empty-player": seed("tmc", module=tmc(0x3000, 1), player_bytes=player(0)[:6]),
        "player-past-ffff": seed("mpt", module=atari(0x0C00, tune), player_bytes=player(16),
                                 player_padding=3000),
        "module-fills-buffer": seed("mpt", module=atari(0x2000, tune), module_padding=127990,
                                    player_bytes=player(100)),
        "module-too-large": seed("cmc", module=atari(0x2000, tune), module_padding=130000,
                                 player_bytes=player(100)),
        "samples-fill-buffer": seed("md1", module=atari(0x2000, tune), samples=bytes([0x90]),
                                    sample_padding=127900, player_bytes=player(100)),
        "output-missing-folder": seed("mpt", output=1, module=atari(0x2000, tune), player_bytes=player(100)),
        "output-beside-module": seed("cmc", output=2, output_exists=True, module=atari(0x2000, tune),
                                     player_bytes=player(64), output_name=b"song.cmc",
                                     commands=(LOAD, SAVE_AS, LOAD, SAVE)),
        "output-is-folder": seed("mpt", output=3, module=atari(0x2000, tune), player_bytes=player(100)),
        "output-exists": seed("mpt", output_exists=True, module=atari(0x2000, tune), player_bytes=player(100)),
        "line-break-in-name": seed("mpt", module=atari(0x2000, tune), player_bytes=player(100),
                                   name=b"Two\r\nlines"),
        "info-clear": seed("tm8", info_clear=True, module=tmc(0x3000, 1), player_bytes=player(100),
                           name=b"A name longer than thirty-six characters, kept whole", author=b"It's mine"),
        "short-module-name": seed("none", module=atari(0x2000, tune), player_bytes=player(100),
                                  module_name=b"ab", commands=(LOAD, SAVE)),
        "dotted-name": seed("none", module=atari(0x2000, tune), module_name=b"..", commands=(LOAD, SAVE)),
        "empty-module": seed("cmc", module=b"", player_bytes=player(64)),
    }
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus"))
