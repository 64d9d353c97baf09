#!/usr/bin/python3
"""Prints the BIFF records of the Workbook stream of an .xls file, one
record per line ("0809 BOF len=16", then its bytes in hex), so that a review
of a golden file shows which record changed. The compound file is opened by
xlrd's reader, not ours.

    /usr/bin/python3 tests/report/xls_dump.py FILE.xls > FILE.xls.txt
"""
import struct
import sys

from xlrd import compdoc

NAMES = {
    0x0006: "FORMULA", 0x000A: "EOF", 0x000E: "PRECISION", 0x0012: "PROTECT", 0x0013: "PASSWORD",
    0x0019: "WINDOWPROTECT", 0x0022: "DATEMODE", 0x0031: "FONT", 0x003C: "CONTINUE", 0x003D: "WINDOW1",
    0x0040: "BACKUP", 0x0042: "CODEPAGE", 0x0055: "DEFCOLWIDTH", 0x005C: "WRITEACCESS", 0x007D: "COLINFO",
    0x0085: "BOUNDSHEET", 0x008D: "HIDEOBJ", 0x009C: "FNGROUPCOUNT", 0x00BD: "MULRK", 0x00BE: "MULBLANK",
    0x00C1: "MMS", 0x00DA: "BOOKBOOL", 0x00E0: "XF", 0x00E1: "INTERFACEHDR", 0x00E2: "INTERFACEEND",
    0x00E5: "MERGEDCELLS", 0x00FC: "SST", 0x00FD: "LABELSST", 0x00FF: "EXTSST", 0x013D: "TABID",
    0x0160: "USESELFS", 0x0161: "DSF", 0x01AF: "PROT4REV", 0x01B7: "REFRESHALL", 0x01BC: "PROT4REVPASS",
    0x0200: "DIMENSIONS", 0x0201: "BLANK", 0x0203: "NUMBER", 0x0204: "LABEL", 0x0205: "BOOLERR",
    0x0207: "STRING", 0x023E: "WINDOW2", 0x027E: "RK", 0x0293: "STYLE", 0x041E: "FORMAT", 0x0809: "BOF",
}

with open(sys.argv[1], "rb") as f:
    stream = compdoc.CompDoc(f.read()).get_named_stream("Workbook")
pos = 0
while pos + 4 <= len(stream):
    rid, length = struct.unpack("<HH", stream[pos:pos + 4])
    if rid == 0 and length == 0:
        sys.stdout.write("%08X zero padding to the end, %d bytes\n" % (pos, len(stream) - pos))
        break
    data = stream[pos + 4:pos + 4 + length]
    sys.stdout.write("%08X %04X %s len=%d\n" % (pos, rid, NAMES.get(rid, "?"), length))
    for i in range(0, len(data), 32):
        sys.stdout.write("    " + " ".join("%02X" % b for b in data[i:i + 32]) + "\n")
    pos += 4 + length
