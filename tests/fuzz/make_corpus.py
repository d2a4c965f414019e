#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus: a few canonical and odd WAV headers, and a
few coefficient texts. Run from anywhere; the files land in corpus/ beside
this script. The output is fixed, so rerunning it changes nothing."""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent


def chunk(cid, payload, size=None):
    size = len(payload) if size is None else size
    pad = b"\0" if len(payload) % 2 else b""
    return cid + struct.pack("<I", size) + payload + pad


def fmt(tag=1, channels=2, rate=44100, bits=16, extra=b""):
    align = channels * bits // 8
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    return body + (struct.pack("<H", len(extra)) + extra if extra else b"")


def riff(chunks, form=b"WAVE", riff_id=b"RIFF", size=None):
    body = form + b"".join(chunks)
    return riff_id + struct.pack("<I", len(body) if size is None else size) + body


def samples(frames):
    return b"".join(struct.pack("<hh", 1000 * i, -1000 * i) for i in range(frames))


WAV = {
    "canonical_44k": riff([chunk(b"fmt ", fmt()), chunk(b"data", samples(4))]),
    "canonical_48k": riff([chunk(b"fmt ", fmt(rate=48000)), chunk(b"data", samples(3))]),
    "empty_data": riff([chunk(b"fmt ", fmt()), chunk(b"data", b"")]),
    "list_then_fmt18": riff([chunk(b"LIST", b"INFOISFT\x05\0\0\0tool\0"),
                             chunk(b"fmt ", fmt(extra=b"\0\0")[:18]),
                             chunk(b"odd ", b"abc"), chunk(b"data", samples(2))]),
    "extensible": riff([chunk(b"fmt ", fmt(tag=0xFFFE, extra=b"\0" * 22)), chunk(b"data", samples(1))]),
    "open_ended": riff([chunk(b"fmt ", fmt()), chunk(b"data", samples(5), size=0xFFFFFFFF)], size=0xFFFFFFFF),
    "mono_8bit": riff([chunk(b"fmt ", fmt(channels=1, bits=8)), chunk(b"data", b"\x80" * 8)]),
    "channels_258": riff([chunk(b"fmt ", fmt(channels=258)), chunk(b"data", samples(2))]),
    "data_before_fmt": riff([chunk(b"data", samples(2)), chunk(b"fmt ", fmt())]),
    "huge_junk_chunk": riff([chunk(b"JUNK", b"\0" * 8, size=0xFFFFFFF0), chunk(b"fmt ", fmt())]),
    "short_fmt": riff([chunk(b"fmt ", fmt()[:14]), chunk(b"fmt ", fmt()), chunk(b"data", samples(1))]),
    "rf64": riff([chunk(b"ds64", struct.pack("<QQQI", 2**33, 2**33 - 36, 2**31, 0)),
                  chunk(b"fmt ", fmt()), chunk(b"data", b"", size=0xFFFFFFFF)],
                 riff_id=b"RF64", size=0xFFFFFFFF),
    "truncated": riff([chunk(b"fmt ", fmt())])[:30],
    "rf64_ds64_short": riff([chunk(b"ds64", struct.pack("<QQQI", 100, 12, 3, 0)),
                             chunk(b"fmt ", fmt()), chunk(b"data", samples(6), size=0xFFFFFFFF),
                             chunk(b"LIST", b"INFO")], riff_id=b"RF64", size=0xFFFFFFFF),
    "extensible_pcm": riff([chunk(b"fmt ", fmt(tag=0xFFFE, extra=struct.pack("<HI", 16, 3)
                                               + bytes.fromhex("0100000000001000800000aa00389b71"))),
                            chunk(b"data", samples(2))]),
    "many_chunks": riff([chunk(b"fmt ", fmt())] + [chunk(b"JUNK", b"\0\0")] * 600 + [chunk(b"data", samples(1))]),
    "chunk_overrun": riff([chunk(b"fmt ", fmt()), chunk(b"LIST", b"x" * 8, size=0x1000)]),
    "list_after_data": riff([chunk(b"fmt ", fmt()), chunk(b"data", samples(3)), chunk(b"LIST", b"INFOabcd")]),
    "canonical_short_fmt": riff([chunk(b"fmt ", fmt(), size=14), chunk(b"data", samples(2))]),
    "lower_case_wave": riff([chunk(b"fmt ", fmt()), chunk(b"data", samples(1))], form=b"wave"),
}

TAPS = {
    "supplied_start": b"5.930663568094330e-06\r\n1.1036981426711712e-05\r\n-1.5209552810567118e-05\r\n",
    "radix": b"&H1F,&hFFFFFFFFFFFFFFFFFF,&O17,&B101,&b,-&H10,&O9,&HG\r\n",
    "quoted": b'"1.5" , "-2.25e-3"\r\n"&H7F"\r\n" 3 ",\x1a4\r\n',
    "extremes": b"1e4932,1e-4951,-1e999999999999999999,1e-999999999999999999,"
                b"0.000000000000000000000000123456789012345678901234,123456789012345678901234567890,"
                b"1.7976931348623157e308,4.9e-324,2.4703282292062327e-324\r\n",
    "odd_separators": b" \t1.0\n2.0,,, 3,4e,5e+,6d2,7E-1x,.5,-.5,+,-,.,1..2\r\r\n8\x1a9\r\n",
    "lf_only": b"1.0\n2.0\n3.0\n",
    "byte_order_mark": b"\xef\xbb\xbf0.5\r\n0.25\r\n",
    "non_finite": b"1e999,-1e999,1e400\r\n0\r\n",
    "all_zero": b"0\r\n" * 215,
}


def write(folder, items):
    target = HERE / "corpus" / folder
    target.mkdir(parents=True, exist_ok=True)
    for name, data in items.items():
        (target / name).write_bytes(data)


write("wav_header", WAV)
write("filter_taps", TAPS)
