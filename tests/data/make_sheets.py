#!/usr/bin/env python3
"""Writes the workbook fixtures of the spreadsheet tests (needs python3-xlwt).

Run from the repository root with Debian's python:  /usr/bin/python3 tests/data/make_sheets.py
"""
import datetime
import pathlib

import xlwt

HERE = pathlib.Path(__file__).resolve().parent


def sheets_xls():
    book = xlwt.Workbook(encoding="utf-8")
    date = xlwt.easyxf(num_format_str="YYYY-MM-DD")

    # The sheet the tests name; another sheet comes first so the name has to be looked up.
    other = book.add_sheet("Sheet1")
    other.write(0, 0, "not this one")

    sheet = book.add_sheet("产品导入模板")
    rows = [
        ["编号", "名称", "售价", "库存", "备注", "日期"],
        ["P001", "可口可乐", 3.5, 10, ",;.?", datetime.date(2024, 3, 5)],
        ["P002", None, 12, 0.1, '"引号",;.?"在内"', datetime.date(1999, 12, 31)],
        [6901234567890, "薯片(大包)", -2.25, 0, "", None],
    ]
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, datetime.date):
                sheet.write(r, c, value, date)
            else:
                sheet.write(r, c, value)

    # A gap row inside the data and formatted but empty rows after it.
    gaps = book.add_sheet("gaps")
    gaps.write(0, 0, "名称")
    gaps.write(0, 1, "数量")
    gaps.write(1, 0, "可乐")
    gaps.write(1, 1, 1)
    gaps.write(3, 0, "雪碧")
    gaps.write(3, 1, 2)
    blank = xlwt.easyxf("pattern: pattern solid, fore_colour yellow")
    gaps.write(5, 0, None, blank)
    gaps.write(6, 1, None, blank)

    book.add_sheet("empty")
    book.save(str(HERE / "sheets.xls"))


# Byte changes to sheets.xls that make libfreexl 1.0.6 read past its buffers and crash while
# opening the file (found by flipping random bytes).
DAMAGE = {
    "damaged-1.xls": [(55, 0xA4), (1187, 0x9B), (2399, 0xB4), (2457, 0xE3), (3118, 0xFF),
                      (3200, 0xB4), (4398, 0x5E), (4713, 0xDF), (4764, 0xC1), (5310, 0xC4)],
    "damaged-2.xls": [(1958, 0x02), (1972, 0xC1), (3137, 0xD6), (3170, 0x4D), (3358, 0xC5),
                      (3456, 0xCC), (4423, 0xA2), (5004, 0x82), (5201, 0x49)],
}


def damaged_xls():
    good = (HERE / "sheets.xls").read_bytes()
    for name, changes in DAMAGE.items():
        data = bytearray(good)
        for offset, value in changes:
            data[offset] = value
        (HERE / name).write_bytes(bytes(data))


if __name__ == "__main__":
    sheets_xls()
    damaged_xls()
    print("wrote tests/data/sheets.xls, " + ", ".join(DAMAGE))
