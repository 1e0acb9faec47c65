#!/usr/bin/env python3
"""Writes the decompressor's fixtures, made by the real encoders, into a folder:
   make_compress_fixtures.py OUTPUT_FOLDER"""
import bz2
import gzip
import lzma
import os
import random
import struct
import sys
import zlib

out = sys.argv[1]


def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


# Text with some noise: compressible, yet long enough for several buffers.
rng = random.Random(14)
words = [b"vacuum", b"profile", b"sqlite", b"update", b"feed", b"\xc3\xa9t\xc3\xa9", b"\n"]
payload = b" ".join(rng.choice(words) + bytes([rng.randrange(256)]) for _ in range(60000))
write("payload", payload)
write("payload.0", zlib.compress(payload))
write("payload.1", gzip.compress(payload))
write("payload.2", bz2.compress(payload))
write("payload.3", lzma.compress(payload, format=lzma.FORMAT_ALONE))
write("payload.4", lzma.compress(payload, format=lzma.FORMAT_XZ, check=lzma.CHECK_CRC64))
write("payload.6", payload)

# gzip files of several members, read on as gzip -d reads them.
first, second = gzip.compress(b"first member\n"), gzip.compress(b"second member\n")
write("two-members.gz", first + second)
write("members-then-garbage.gz", first + second + b"trailing garbage\n")
write("member-then-zeros.gz", first + bytes(1024))
write("empty-member.gz", gzip.compress(b"") + second)
write("truncated-member.gz", first + second[:20])
# A first member of 16,383 bytes: the next one's magic straddles the reader's
# 16 KiB input buffer.
noise = random.Random(8).randbytes(20000)
size = next(n for n in range(16000, 16383) if len(gzip.compress(noise[:n], compresslevel=0)) == 16383)
straddling = gzip.compress(noise[:size], compresslevel=0)
write("straddling.payload", noise[:size] + b"second member\n")
write("straddling-members.gz", straddling + second)
write("straddling-garbage.gz", straddling + b"\x1f garbage")
for mib in (64, 96):
    filters = [{"id": lzma.FILTER_LZMA2, "preset": 0, "dict_size": mib << 20}]
    write("dict%d.xz" % mib, lzma.compress(b"dictionary %d MiB\n" % mib, format=lzma.FORMAT_XZ, filters=filters))

# A .lzma header asking for a 1 GiB dictionary (bytes 1-4, little-endian).
alone = bytearray(lzma.compress(b"large dictionary\n", format=lzma.FORMAT_ALONE))
alone[1:5] = (1 << 30).to_bytes(4, "little")
write("dict1024.lzma", bytes(alone))
write("dict-small.lzma", lzma.compress(b"large dictionary\n", format=lzma.FORMAT_ALONE))


def pbzx(chunks, header_flags=0x01000000):
    """chunks: (data, stored) pairs; a stored chunk's flags equal its length."""
    blob = b"pbzx" + struct.pack(">Q", header_flags)
    for i, (data, stored) in enumerate(chunks):
        more = 0x01000000 if i + 1 < len(chunks) else 0
        flags = len(data) if stored else more
        if stored and more:
            raise ValueError("a stored chunk's flags are its length")
        blob += struct.pack(">QQ", flags, len(data)) + data
    return blob


part1 = b"compressed chunk of the container\n" * 100
part2 = b"stored tail\n"
xz1 = lzma.compress(part1, format=lzma.FORMAT_XZ)
write("stored.pbzx", pbzx([(part2, True)]))
write("xz.pbzx", pbzx([(xz1, False)]))
write("two.pbzx", pbzx([(xz1, False), (part2, True)]))
write("no-chunks.pbzx", pbzx([(xz1, False)], header_flags=0))
write("bad-magic.pbzx", b"pbzy" + pbzx([(xz1, False)])[4:])
write("bad-header.pbzx", pbzx([(gzip.compress(part1), False)]))
# A footer other than "YZ" after a complete stream: xz stops at the stream's
# end, the container reader then looks at the last two bytes.
write("bad-footer.pbzx", pbzx([(xz1 + b"\0\0\0\0", False)]))
write("short-header.pbzx", b"pbzx\0\0\0")
write("short-chunk.pbzx", pbzx([(part2, True)])[:-3])

# Bombs that expand to 1 GiB, built from one compressed MiB of zeros repeated
# (each piece starts afresh), so they cost milliseconds to make. Their trailers
# are not valid: a reader that honours its output cap never gets there.
zeros = bytes(1 << 20)
deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
piece = deflate.compress(zeros) + deflate.flush(zlib.Z_FULL_FLUSH)
write("bomb.gz", b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03" + piece * 1024 + b"\x03\x00" + bytes(8))

filters = [{"id": lzma.FILTER_LZMA2, "preset": 0}]
sample = lzma.compress(zeros, format=lzma.FORMAT_XZ, filters=filters)
block_header_size = (sample[12] + 1) * 4
raw = lzma.compress(zeros, format=lzma.FORMAT_RAW, filters=filters)
assert raw[0] >= 0xE0 and raw[-1] == 0  # a dictionary reset first, the end marker last
write("bomb.xz", sample[:12 + block_header_size] + raw[:-1] * 1024 + b"\0")
