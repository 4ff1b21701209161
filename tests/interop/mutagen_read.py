"""Prints what mutagen, an independent ID3 reader, finds in a file's ID3v2
tag, one line per item, with texts as UTF-8 in hex so that any character
survives the trip:

    version 3
    frame TIT2 <text hex>
    frame COMM <language> <description hex> <text hex>
    frame APIC <MIME type hex> <picture data hex>
    frame <ID> -        (any other frame)

With --pictures first, only the pictures, one line each:

    picture <type> <MIME type hex> <description hex> <picture data hex>
"""
import sys

from mutagen.id3 import ID3


def hexed(text):
    return text.encode("utf-8").hex() or "-"


def pictures(path):
    tags = ID3(path, translate=False)
    for frame in tags.getall("APIC"):
        print("picture %d %s %s %s" % (frame.type, hexed(frame.mime), hexed(frame.desc),
                                        frame.data.hex() or "-"))


def main(path):
    tags = ID3(path, translate=False)
    print("version %d" % tags.version[1])
    for frame in tags.values():
        if frame.FrameID == "COMM":
            print("frame COMM %s %s %s" % (frame.lang, hexed(frame.desc),
                                           hexed("/".join(frame.text))))
        elif frame.FrameID == "APIC":
            print("frame APIC %s %s" % (hexed(frame.mime), frame.data.hex() or "-"))
        elif frame.FrameID.startswith("T") and hasattr(frame, "text"):
            print("frame %s %s" % (frame.FrameID, hexed("/".join(str(t) for t in frame.text))))
        else:
            print("frame %s -" % frame.FrameID)
    for frame in getattr(tags, "unknown_frames", []):
        print("unknown %s" % frame[:4].decode("ascii", "replace"))


if __name__ == "__main__":
    if sys.argv[1] == "--pictures":
        pictures(sys.argv[2])
    else:
        main(sys.argv[1])
