#!/usr/bin/python3
"""Opens an .xls with xlrd and reads every cell of every sheet, for
bench/compare.sh (what `meterctl show` does, done by xlrd).
    xlrd_read.py FILE.xls"""
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1])
n = 0
for sheet in book.sheets():
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            if sheet.cell_value(r, c) != "":
                n += 1
print(n)
