#!/usr/bin/python3
"""Reads an .xls file with xlrd (formatting_info=True) and prints what it
found as JSON on stdout: per sheet its name, WINDOW2 flags, merges, column
widths (COLINFO units) and every cell with its text and look. The QtTest
compares this with the workbook it saved.

    /usr/bin/python3 tests/report/xls_check.py FILE.xls
"""
import json
import sys

import xlrd


def main(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    result = {"nsheets": book.nsheets, "sheets": []}
    for sheet in book.sheets():
        cells = []
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index]
                fmt = book.format_map[xf.format_key].format_str
                cells.append({
                    "row": r, "col": c, "type": cell.ctype, "text": cell.value if cell.ctype == xlrd.XL_CELL_TEXT else "",
                    "bold": font.bold, "pattern": xf.background.fill_pattern,
                    "colour": xf.background.pattern_colour_index, "format": fmt,
                    "horz": xf.alignment.hor_align, "vert": xf.alignment.vert_align,
                })
        widths = {str(col): info.width for col, info in sheet.colinfo_map.items()}
        result["sheets"].append({
            "name": sheet.name, "selected": sheet.sheet_selected, "visible": sheet.sheet_visible,
            "merges": [list(m) for m in sheet.merged_cells], "widths": widths, "cells": cells,
        })
    json.dump(result, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
