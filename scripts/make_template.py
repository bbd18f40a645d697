#!/usr/bin/env python3
"""Writes Template/prd.xls, the product import template delivered with the program
(needs Debian's python3-xlwt).

Run from the repository root:  /usr/bin/python3 scripts/make_template.py

The import reads the worksheet 产品导入模板: row 1 holds the column titles, every further row one
product, in the eight columns below. The second worksheet explains them to whoever fills it in.
"""
import pathlib

import xlwt

ROOT = pathlib.Path(__file__).resolve().parent.parent

COLUMNS = [
    # title, width in characters, explanation
    ("产品名称", 24, "必填。原样导入（不去掉空格），不能与已有产品同名"),
    ("产品类别", 14, "必填。须与系统中已有的产品类别名称一致"),
    ("采购价", 10, "数字，不填为 0"),
    ("零售价", 10, "数字，不填为 0"),
    ("计量单位", 10, "如：个、瓶、公斤"),
    ("整数销售", 10, "填“否”可按小数数量销售；其他内容或不填为整数销售"),
    ("产品性质", 10, "填“特价”或“赠品”；其他内容或不填为常规商品"),
    ("初始库存", 10, "数字，不填为 0；整数销售的商品只取整数部分"),
]
EXAMPLE = ["可口可乐(500ml)", "饮料", 2.5, 3.5, "瓶", "是", "常规", 24]


def main():
    book = xlwt.Workbook(encoding="utf-8")
    title = xlwt.easyxf("font: bold on; pattern: pattern solid, fore_colour light_yellow; "
                        "borders: bottom thin; align: horiz center")
    text = xlwt.easyxf(num_format_str="@")
    number = xlwt.easyxf(num_format_str="0.00")
    whole = xlwt.easyxf(num_format_str="0")

    sheet = book.add_sheet("产品导入模板")
    for c, (caption, width, _) in enumerate(COLUMNS):
        sheet.write(0, c, caption, title)
        sheet.col(c).width = 256 * (width + 2)
    styles = [text, text, number, number, text, text, text, whole]
    for c, value in enumerate(EXAMPLE):
        sheet.write(1, c, value, styles[c])
    sheet.set_panes_frozen(True)
    sheet.set_horz_split_pos(1)

    notes = book.add_sheet("填写说明")
    notes.col(0).width = 256 * 12
    notes.col(1).width = 256 * 60
    notes.write(0, 0, "列", title)
    notes.write(0, 1, "填写方法", title)
    for r, (caption, _, explanation) in enumerate(COLUMNS, start=1):
        notes.write(r, 0, caption)
        notes.write(r, 1, explanation)
    notes.write(len(COLUMNS) + 2, 0, "在“产品导入模板”工作表的第 2 行起每行填写一个产品，第 1 行的列标题请勿改动。")

    target = ROOT / "Template" / "prd.xls"
    target.parent.mkdir(exist_ok=True)
    book.save(str(target))
    print("wrote", target.relative_to(ROOT))


if __name__ == "__main__":
    main()
