#!/usr/bin/env python3
"""Reads a workbook back with readers that share no code with Lexorium's writers and prints it as JSON:
{"sheets": [{"name": ..., "cells": [[row, column, text, bold], ...]}], ...}. Cells with no text and no bold
font are left out. For .xls it also tells how the file was laid out, so tests can see which paths ran.

Usage: workbook_reader.py xls|xlsx|csv FILE
"""
import csv
import json
import struct
import sys


def xls_layout(path):
    """DIFAT sector count, and each shared string that runs on into a CONTINUE record."""
    from xlrd import compdoc
    data = open(path, 'rb').read()
    stream = compdoc.CompDoc(data, logfile=sys.stderr).get_named_stream('Workbook')
    sst = []  # SST record data, then its CONTINUE records
    pos = 0
    while pos + 4 <= len(stream):
        rtype, size = struct.unpack_from('<HH', stream, pos)
        body = stream[pos + 4:pos + 4 + size]
        if rtype == 0x00FC:
            sst = [body]
        elif rtype == 0x003C and sst and sst[-1] is not None:
            sst.append(body)
        elif sst and sst[-1] is not None:
            sst.append(None)
        if rtype == 0x000A and sst:
            break
        pos += 4 + size
    records = [r for r in sst if r is not None]
    straddles = []
    if records:
        unique = struct.unpack_from('<I', records[0], 4)[0]
        rec, at = 0, 8
        for index in range(unique):
            if at >= len(records[rec]):
                rec, at = rec + 1, 0
            length, flags = struct.unpack_from('<HB', records[rec], at)
            at += 3
            wide = flags & 1
            left = length
            while True:
                width = 2 if wide else 1
                take = min(left, (len(records[rec]) - at) // width)
                at += take * width
                left -= take
                if left == 0:
                    break
                straddles.append({'string': index, 'wide': bool(wide), 'unused': 8224 - len(records[rec])})
                rec, at = rec + 1, 1
                wide = records[rec][0] & 1
    return {
        'difatSectors': struct.unpack_from('<I', data, 0x48)[0],
        'continueRecords': max(0, len(records) - 1),
        'straddles': straddles,
    }


def read_xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    sheets = []
    for sheet in book.sheets():
        cells = []
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                font = book.font_list[book.xf_list[cell.xf_index].font_index]
                # The flag and the weight must agree: readers differ in which one they use.
                bold = bool(font.bold) if bool(font.bold) == (font.weight >= 700) else 'flag and weight disagree'
                text = cell.value if cell.ctype == xlrd.XL_CELL_TEXT else ''
                if cell.ctype not in (xlrd.XL_CELL_TEXT, xlrd.XL_CELL_BLANK, xlrd.XL_CELL_EMPTY):
                    text = 'unexpected cell type %d' % cell.ctype
                if text or bold:
                    cells.append([r, c, text, bold])
        sheets.append({'name': sheet.name, 'cells': cells})
    result = {'sheets': sheets}
    result.update(xls_layout(path))
    return result


def read_xlsx(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheets = []
    for sheet in book.worksheets:
        cells = []
        for row in sheet.iter_rows():
            for cell in row:
                bold = bool(cell.font is not None and cell.font.b)
                if cell.value is None and not bold:
                    continue
                text = '' if cell.value is None else cell.value
                if not isinstance(text, str):
                    text = 'unexpected value %r' % (text,)
                cells.append([cell.row - 1, cell.column - 1, text, bold])
        sheets.append({'name': sheet.title, 'cells': cells})
    return {'sheets': sheets}


def read_csv(path):
    cells = []
    with open(path, newline='', encoding='utf-8') as f:
        for r, row in enumerate(csv.reader(f)):
            cells.extend([r, c, text, False] for c, text in enumerate(row) if text)
    return {'sheets': [{'name': '', 'cells': cells}]}


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ('xls', 'xlsx', 'csv'):
        sys.exit(__doc__)
    reader = {'xls': read_xls, 'xlsx': read_xlsx, 'csv': read_csv}[sys.argv[1]]
    sys.stdout.buffer.write(json.dumps(reader(sys.argv[2]), ensure_ascii=False).encode('utf-8'))


if __name__ == '__main__':
    main()
