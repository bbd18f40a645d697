#pragma once

#include <QString>

class QPrinter;
class QWidget;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// Prints the receipt of a stored order on the default printer, or on `printer` when given (a
// PDF file, in tests). Toasts over `parent` say why nothing was printed ("打开订单失败",
// "打开订单详情失败", "无订单详情", "初始化打印设备失败") or that it was sent ("完成").
// Never waits for a printer: without one it fails at once.
bool PrintReceipt(QWidget* parent, AppContext& ctx, const QString& orderNo, QPrinter* printer = nullptr);

} // namespace selvo::gui
