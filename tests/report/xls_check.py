#!/usr/bin/python3
"""Prints what xlrd (formatting_info=True) reads from an .xls file as JSON:
per sheet its name, WINDOW2 flags, merges ("rows cols", inclusive), COLINFO
widths of columns A..J, and each cell as [row, col, text, bold, fill colour
(0 none, -1 not a solid fill), number format, horizontal, vertical].
tst_xlsexternal compares it with the workbook it saved.

    /usr/bin/python3 tests/report/xls_check.py FILE.xls
"""
import json
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheets = []
for sheet in book.sheets():
    cells = []
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell, xf = sheet.cell(r, c), book.xf_list[sheet.cell_xf_index(r, c)]
            pattern = xf.background.fill_pattern
            cells.append([r, c, cell.value if cell.ctype == xlrd.XL_CELL_TEXT else "",
                          book.font_list[xf.font_index].bold,
                          {0: 0, 1: xf.background.pattern_colour_index}.get(pattern, -1),
                          book.format_map[xf.format_key].format_str, xf.alignment.hor_align, xf.alignment.vert_align])
    sheets.append({"name": sheet.name, "selected": sheet.sheet_selected, "visible": sheet.sheet_visible,
                   "merges": ["%d:%d %d:%d" % (m[0], m[1] - 1, m[2], m[3] - 1) for m in sheet.merged_cells],
                   "widths": [sheet.colinfo_map[c].width if c in sheet.colinfo_map else 0 for c in range(10)],
                   "cells": cells})
json.dump({"nsheets": book.nsheets, "sheets": sheets}, sys.stdout, ensure_ascii=False)
