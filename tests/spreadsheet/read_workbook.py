#!/usr/bin/python3
"""Reports what an independent reader (xlrd) sees in a workbook, as JSON on stdout.

  read_workbook.py sheet PATH [HEAD_ROWS]   cells of the first worksheet
  read_workbook.py streams PATH             streams of a compound file
  read_workbook.py book PATH                every worksheet: name, rows, first and last row

sheet: {"nrows", "ncols", "sheets", "head": rows 0..HEAD_ROWS-1, "last": the last row,
        "widths": column widths in characters, "datemode"}; each cell is
        {"type": "text"|"number"|"date"|"empty"|"other", "value", "format"}.
streams: {"streams": {name: {"size", "sha1"}}, "difat_sectors", "fat_sectors"}.
"""
import hashlib
import io
import json
import struct
import sys
import xml.etree.ElementTree as ET
import zipfile

import xlrd
import xlrd.compdoc

MAIN_NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
BUILTIN_FORMATS = {0: "General", 1: "0", 2: "0.00", 14: "m/d/yyyy", 22: "m/d/yyyy h:mm", 49: "@"}


def xlsx_formats(path):
    """Cell reference -> number format string, and column widths, read from the XML."""
    with zipfile.ZipFile(path) as z:
        styles = ET.fromstring(z.read("xl/styles.xml"))
        sheet = ET.fromstring(z.read("xl/worksheets/sheet1.xml"))
    codes = dict(BUILTIN_FORMATS)
    numfmts = styles.find(MAIN_NS + "numFmts")
    if numfmts is not None:
        for fmt in numfmts:
            codes[int(fmt.get("numFmtId"))] = fmt.get("formatCode")
    xfs = [int(xf.get("numFmtId", "0")) for xf in styles.find(MAIN_NS + "cellXfs")]
    formats = {}
    for cell in sheet.iter(MAIN_NS + "c"):
        formats[cell.get("r")] = codes.get(xfs[int(cell.get("s", "0"))], "?")
    widths = {}
    cols = sheet.find(MAIN_NS + "cols")
    if cols is not None:
        for col in cols:
            for c in range(int(col.get("min")), int(col.get("max")) + 1):
                widths[c - 1] = float(col.get("width"))
    return formats, widths


def column_name(c):
    name = ""
    c += 1
    while c:
        c, rest = divmod(c - 1, 26)
        name = chr(65 + rest) + name
    return name


def cell_json(book, sheet, r, c, xlsx_fmt):
    cell = sheet.cell(r, c)
    kinds = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
             xlrd.XL_CELL_DATE: "date", xlrd.XL_CELL_EMPTY: "empty", xlrd.XL_CELL_BLANK: "empty"}
    out = {"type": kinds.get(cell.ctype, "other"), "value": cell.value}
    if cell.ctype == xlrd.XL_CELL_DATE:
        out["value"] = xlrd.xldate.xldate_as_datetime(cell.value, book.datemode).strftime(
            "%Y-%m-%d %H:%M:%S")
        out["serial"] = cell.value
    if xlsx_fmt is None:
        xf = book.xf_list[cell.xf_index]
        out["format"] = book.format_map[xf.format_key].format_str
    else:
        out["format"] = xlsx_fmt.get(column_name(c) + str(r + 1), "General")
    return out


def sheet_report(path, head_rows):
    with open(path, "rb") as f:
        is_xls = f.read(4) == b"\xd0\xcf\x11\xe0"
    book = xlrd.open_workbook(path, formatting_info=is_xls, on_demand=False)
    sheet = book.sheet_by_index(0)
    xlsx_fmt, widths = (None, {}) if is_xls else xlsx_formats(path)
    if is_xls:
        widths = {c: info.width / 256.0 for c, info in sheet.colinfo_map.items()}
    rows = lambda rng: [[cell_json(book, sheet, r, c, xlsx_fmt) for c in range(sheet.ncols)]
                        for r in rng]
    return {
        "sheets": book.sheet_names(),
        "nrows": sheet.nrows,
        "ncols": sheet.ncols,
        "datemode": book.datemode,
        "head": rows(range(min(head_rows, sheet.nrows))),
        "last": rows(range(sheet.nrows - 1, sheet.nrows))[0] if sheet.nrows else [],
        "widths": [widths.get(c, 0.0) for c in range(sheet.ncols)],
    }


def book_report(path):
    book = xlrd.open_workbook(path, on_demand=False)
    values = lambda sheet, r: [sheet.cell_value(r, c) for c in range(sheet.ncols)]
    return {"sheets": [{"name": s.name, "nrows": s.nrows,
                        "first": values(s, 0) if s.nrows else [],
                        "second": values(s, 1) if s.nrows > 1 else [],
                        "last": values(s, s.nrows - 1) if s.nrows else []}
                       for s in book.sheets()]}


def streams_report(path):
    with open(path, "rb") as f:
        mem = f.read()
    log = io.StringIO()
    doc = xlrd.compdoc.CompDoc(mem, logfile=log, DEBUG=0)
    streams = {}
    for node in doc.dirlist[1:]:
        if node.etype == 2:
            data = doc.get_named_stream(node.name)
            streams[node.name] = {"size": len(data), "sha1": hashlib.sha1(data).hexdigest()}
    fat_sectors, _, _, _, _, _, _, difat_sectors = struct.unpack("<8I", mem[44:76])
    return {"streams": streams, "fat_sectors": fat_sectors, "difat_sectors": difat_sectors,
            "warnings": log.getvalue()}


def main():
    mode, path = sys.argv[1], sys.argv[2]
    if mode == "sheet":
        report = sheet_report(path, int(sys.argv[3]) if len(sys.argv) > 3 else 20)
    elif mode == "book":
        report = book_report(path)
    else:
        report = streams_report(path)
    json.dump(report, sys.stdout, ensure_ascii=True)


if __name__ == "__main__":
    main()
