#!/usr/bin/env python3
"""Writes COUNT small MP3 files into FOLDER (created; it must not exist) for
measuring the memory of `varnello-tag list`: a version 3 tag of six text and
comment frames and two MPEG frames each.

Usage: bench/make-tool-folder.py FOLDER [COUNT]   (COUNT defaults to 100000)
"""
import os
import struct
import sys


def frame(frame_id, data):
    return frame_id.encode() + struct.pack(">I", len(data)) + b"\0\0" + data


def text(frame_id, value):
    return frame(frame_id, b"\0" + value.encode("latin-1"))


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def main():
    if len(sys.argv) not in (2, 3) or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) == 3 else 100000
    os.makedirs(folder)
    audio = (b"\xff\xfb\x90\x00" + b"\0" * 413) * 2
    for i in range(count):
        body = (text("TIT2", "Title of track number %d with a longer name" % i)
                + text("TPE1", "An artist of some renown %d" % (i % 97))
                + text("TALB", "The album with the long name %d" % (i % 1000))
                + text("TYER", "2024") + text("TCON", "Rock")
                + frame("COMM", b"\0eng\0" + ("Ripped from the original CD, track %d, and a "
                                               "comment long enough to matter" % i).encode()))
        tag = b"ID3\x03\0\0" + syncsafe(len(body)) + body
        with open(os.path.join(folder, "track-%06d.mp3" % i), "wb") as out:
            out.write(tag + audio)
    return 0


if __name__ == "__main__":
    sys.exit(main())
