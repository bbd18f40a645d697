#include "gui/sales/ReceiptPrinter.h"

#include "core/sales/Receipt.h"
#include "gui/app/Toast.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <memory>

namespace selvo::gui {

namespace {
// "宋体" where it exists; otherwise a CJK monospace face, so Chinese characters are exactly two
// columns wide and the padded columns line up.
QFont receiptFont() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("Noto Sans Mono CJK"),
                      QStringLiteral("WenQuanYi Zen Hei Mono"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(9.6);
    return font;
}

QString failedPrinter() {
    return QStringLiteral("初始化打印设备失败");
}
} // namespace

bool PrintReceipt(QWidget* parent, AppContext& ctx, const QString& orderNo, QPrinter* given) {
    const Receipt receipt = BuildReceipt(ctx, orderNo);
    if (!receipt.ok) {
        ToastError(parent, receipt.failure);
        return false;
    }
    std::unique_ptr<QPrinter> own;
    QPrinter* printer = given;
    if (!printer) {
        // Asking the print system for its default answers at once, also when none is set up.
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            ToastError(parent, failedPrinter());
            return false;
        }
        own = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        printer = own.get();
    }
    printer->setDocName(QStringLiteral("Vodar printing"));
    QPainter painter;
    if (!painter.begin(printer)) {
        ToastError(parent, failedPrinter());
        return false;
    }
    painter.setFont(receiptFont());
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double h = metrics.height();
    // One column: what a half-width character advances in the monospace face.
    const double w = metrics.horizontalAdvance(QLatin1Char('0'));
    const double pageHeight = printer->pageLayout().paintRectPixels(printer->resolution()).height();
    const int rowsPerPage = std::max(1, int(pageHeight / h) - 3);
    const auto pages = PaginateReceipt(receipt.texts, rowsPerPage);
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0)
            printer->newPage();
        for (const ReceiptText& t : pages[p]) {
            const QRectF cell(t.column * w + 2, t.row * h + 2, metrics.horizontalAdvance(t.text) + w, h);
            painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, t.text);
        }
    }
    painter.end();
    ShowToast(QStringLiteral("完成"), kToastBlue, 1.5, 0, parent);
    return true;
}

} // namespace selvo::gui
