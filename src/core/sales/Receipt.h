#pragma once

#include "core/store/Vocabulary.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace selvo {

struct AppContext;

// One text of a receipt: its row (from 1) and its left edge in character widths.
struct ReceiptText {
    int row = 0;
    int column = 0;
    QString text;
    bool operator==(const ReceiptText& o) const = default;
};

struct Receipt {
    bool ok = false;
    QString failure; // the toast when not ok
    QList<ReceiptText> texts;
    int rowCount() const;
    // The texts of one row, in order.
    QStringList row(int n) const;
};

// Reads a stored order back and lays out its receipt. Fails with "打开订单失败",
// "打开订单详情失败" or "无订单详情".
Receipt BuildReceipt(AppContext& ctx, const QString& orderNo);

// Splits the rows over pages of `rowsPerPage` rows, each page counting its rows from 1 again.
QList<QList<ReceiptText>> PaginateReceipt(const QList<ReceiptText>& texts, int rowsPerPage);

// Width of a text on a receipt in character cells: Chinese and other wide characters take two,
// as they do in the monospace font the receipt is printed in.
int TextCells(const QString& text);
// "%-Ns" and "%Ns" (also written "%+Ns") by character cells.
QString PadRight(const QString& text, int cells);
QString PadLeft(const QString& text, int cells);

} // namespace selvo
