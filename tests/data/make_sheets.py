#!/usr/bin/env python3
"""Writes the workbook fixtures of the spreadsheet and import tests (needs python3-xlwt and
python3-xlsxwriter).

Run from the repository root with Debian's python:  /usr/bin/python3 tests/data/make_sheets.py
"""
import datetime
import pathlib
import zipfile

import xlsxwriter
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


class Book:
    """The same sheets written as an Excel 97 workbook and as an Office Open XML one."""

    def __init__(self, stem):
        self.stem = stem
        self.xls = xlwt.Workbook(encoding="utf-8")
        self.xlsx = xlsxwriter.Workbook(str(HERE / (stem + ".xlsx")))
        self.xlsx.set_properties({"created": datetime.datetime(2024, 1, 1)})  # the same bytes every run
        self.xls_date = xlwt.easyxf(num_format_str="YYYY-MM-DD")
        self.xlsx_date = self.xlsx.add_format({"num_format": "yyyy-mm-dd"})
        self.xlsx_blank = self.xlsx.add_format({"bg_color": "yellow"})
        self.xls_blank = xlwt.easyxf("pattern: pattern solid, fore_colour yellow")

    def sheet(self, name, rows, blanks=()):
        """rows: lists of cells; None leaves a cell out, Text(...) forces a text cell."""
        a = self.xls.add_sheet(name)
        b = self.xlsx.add_worksheet(name)
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                if value is None:
                    continue
                if isinstance(value, datetime.date):
                    a.write(r, c, value, self.xls_date)
                    b.write_datetime(r, c, datetime.datetime.combine(value, datetime.time()), self.xlsx_date)
                elif isinstance(value, Text):
                    a.write(r, c, str(value))
                    b.write_string(r, c, str(value))
                else:
                    a.write(r, c, value)
                    b.write(r, c, value)
        for r, c in blanks:  # formatted but empty cells
            a.write(r, c, None, self.xls_blank)
            b.write_blank(r, c, None, self.xlsx_blank)

    def save(self):
        self.xls.save(str(HERE / (self.stem + ".xls")))
        self.xlsx.close()


class Text(str):
    pass


def sheets_xlsx():
    # sheets.xlsx holds what sheets.xls holds.
    book = Book("sheets")
    book.xls = xlwt.Workbook(encoding="utf-8")  # the .xls twin is written by sheets_xls()
    book.sheet("Sheet1", [["not this one"]])
    book.sheet("产品导入模板", [
        ["编号", "名称", "售价", "库存", "备注", "日期"],
        ["P001", "可口可乐", 3.5, 10, ",;.?", datetime.date(2024, 3, 5)],
        ["P002", None, 12, 0.1, '"引号",;.?"在内"', datetime.date(1999, 12, 31)],
        [6901234567890, "薯片(大包)", -2.25, 0, "", None],
    ])
    book.sheet("gaps", [["名称", "数量"], ["可乐", 1], [], ["雪碧", 2]], blanks=[(5, 0), (6, 1)])
    book.sheet("empty", [])
    book.xlsx.close()


TITLES = ["产品名称", "产品类别", "采购价", "零售价", "计量单位", "整数销售", "产品性质", "初始库存"]


def import_books():
    """Workbooks of the product import tests; the tests hold the shop they are read into
    (categories 饮料 and 日用, a product 可乐)."""
    book = Book("import-five")
    book.sheet("产品导入模板", [
        TITLES,
        ["可乐", "饮料", 2, 3, "瓶", "", "", 5],                 # the name exists: duplicate
        ["雪碧", " 饮料 ", 2, 3.5, "瓶", "否", "特价", 10.5],    # category name trimmed
        ["面包", "糕点", 1, 2, "个", "", "", 0],                 # no such category
        [" 薯片 ", "日用", 1.5, 4.5, "包", "", "赠品", 3],       # name kept as typed
        ["牙刷", "日用", 1, 2, "支", "是", "常规", None],        # empty stock: 0
    ])
    book.save()

    book = Book("import-twins")
    book.sheet("产品导入模板", [TITLES, ["芬达", "饮料", 2, 3, "瓶", "", "", 1],
                                ["芬达", "饮料", 9, 9, "箱", "否", "特价", 9]])
    book.save()

    long_name = "长" * 1000
    book = Book("import-values")
    book.sheet("产品导入模板", [
        TITLES,
        ["文本数字", "饮料", Text("2.5"), Text("3.5"), "瓶", "否", "常规", Text("10")],
        ["价abc", "饮料", 1, Text("abc"), "瓶", "", "", 1],
        ["价nan", "饮料", 1, Text("nan"), "瓶", "", "", 1],
        ["价inf", "饮料", 1, Text("inf"), "瓶", "", "", 1],
        ["价负", "饮料", 1, -1, "瓶", "", "", 1],
        ["进价abc", "饮料", Text("abc"), 1, "瓶", "", "", 1],
        ["库存0x10", "饮料", 1, 1, "瓶", "", "", Text("0x10")],
        ["库存1e400", "饮料", 1, 1, "瓶", "", "", Text("1e400")],
        [long_name, "饮料", 1, 2, "瓶", "", "", 1],
        ["可乐🥤", "饮料", 1, 2, "瓶", "", "", 1],
        ["𠮷野家", "饮料", 1, 2, "份", "", "", 1],
        [None, "饮料", 1, 2, "瓶", "", "", 1],                  # no name
        ["   ", "饮料", 1, 2, "瓶", "", "", 1],                  # a blank name
        ["[特] 可乐", "饮料", 1, 2, "瓶", "", "", 1],
        ["x'); DROP TABLE tb_product;--", "饮料", 1, 2, "瓶", "", "", 1],
        ["西瓜", "饮料", 1, 2, "个", "", "", 2.5],               # whole numbers: stock 2
        ["特价带空格", "饮料", 1, 2, "个", "否 ", " 特价", 1],   # not exactly 否 / 特价
    ])
    book.save()

    book = Book("import-narrow")  # five columns: every row lacks cells
    book.sheet("产品导入模板", [TITLES[:5], ["可乐", "饮料", 1, 2, "瓶"], ["新品", "饮料", 1, 2, "瓶"],
                                ["新品2", "糕点", 1, 2, "瓶"]])
    book.save()

    book = Book("import-titles")
    book.sheet("产品导入模板", [TITLES])
    book.save()

    book = Book("import-three-columns")
    book.sheet("产品导入模板", [TITLES[:3], ["新品", "饮料", 1]])
    book.save()

    book = Book("import-other-sheet")
    book.sheet("Sheet1", [TITLES, ["新品", "饮料", 1, 2, "瓶", "", "", 1]])
    book.save()

    # Enough rows for an import to be cancelled half-way.
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("产品导入模板")
    for c, title in enumerate(TITLES):
        sheet.write(0, c, title)
    for r in range(1, 3001):
        for c, value in enumerate(["批量%04d" % r, "日用", 1, 2, "个", "", "", r % 7]):
            sheet.write(r, c, value)
    book.save(str(HERE / "import-many.xls"))


def handmade_xlsx():
    """Parts written by hand, for what xlsxwriter never writes: inline and rich strings with
    phonetic runs, escaped characters, booleans, errors, the 1904 date system, time formats,
    cells without references and a skipped row."""
    files = {
        "[Content_Types].xml": '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>',
        "_rels/.rels": '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                       '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="book/main.xml"/>'
                       '</Relationships>',
        "book/main.xml": '<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
                         'xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
                         '<workbookPr date1904="1"/><sheets><sheet name="产品导入模板" sheetId="1" rel:id="s1"/></sheets></workbook>',
        "book/_rels/main.xml.rels": '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                                    '<Relationship Id="s1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="sheets/one.xml"/>'
                                    '<Relationship Id="s2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="/book/strings.xml"/>'
                                    '<Relationship Id="s3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>'
                                    '</Relationships>',
        "book/strings.xml": '<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
                            '<si><r><t>富</t></r><r><rPr><b/></rPr><t xml:space="preserve">文本 </t></r><rPh sb="0" eb="1"><t>フ</t></rPh></si>'
                            '<si><t>a_x000D_b_x005F_x0041_</t></si></sst>',
        "book/styles.xml": '<?xml version="1.0"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
                           '<numFmts count="2"><numFmt numFmtId="164" formatCode="hh:mm"/><numFmt numFmtId="165" formatCode="&quot;day&quot; 0.00"/></numFmts>'
                           '<cellXfs count="5"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="22"/><xf numFmtId="165"/></cellXfs>'
                           '</styleSheet>',
        "book/sheets/one.xml": '<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
                               '<row r="1"><c r="A1" t="inlineStr"><is><t>内联</t></is></c><c r="B1" t="s"><v>0</v></c>'
                               '<c r="C1" t="str"><f>1+1</f><v>2</v></c><c r="D1" t="b"><v>1</v></c><c r="E1" t="e"><v>#DIV/0!</v></c></row>'
                               '<row r="3"><c><v>1.5</v></c><c t="s"><v>1</v></c><c s="1"><v>0</v></c><c s="2"><v>0.5</v></c>'
                               '<c s="3"><v>1.25</v></c><c s="4"><v>7</v></c></row>'
                               '<row r="4"><c r="H4"><v>6901234567890</v></c></row>'
                               '</sheetData></worksheet>',
    }
    write_zip("xlsx-cells.xlsx", files)
    write_zip("xlsx-no-workbook.xlsx", {"readme.txt": "not a workbook"})


def write_zip(name, files):
    with zipfile.ZipFile(HERE / name, "w", zipfile.ZIP_DEFLATED) as z:
        for path, text in files.items():
            info = zipfile.ZipInfo(path, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, text.encode("utf-8"))


if __name__ == "__main__":
    sheets_xls()
    damaged_xls()
    sheets_xlsx()
    import_books()
    handmade_xlsx()
    print("wrote tests/data/sheets.xls, sheets.xlsx, the import-*.xls(x) books, " + ", ".join(DAMAGE))
