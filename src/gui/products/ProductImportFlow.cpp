#include "gui/products/ProductImportFlow.h"

#include "core/products/ProductImport.h"
#include "core/support/Clock.h"
#include "core/support/SpreadSheet.h"
#include "gui/app/FileDialogs.h"
#include "gui/app/Messages.h"

#include <QApplication>
#include <QCursor>
#include <QProgressDialog>
#include <QPushButton>

namespace selvo::gui {

namespace {
// Rows per transaction: a batch takes a few tens of milliseconds, so the window keeps answering.
constexpr int kRowsPerBatch = ProductImport::kBatchRows;
} // namespace

QString ImportFileFilter() {
    return QStringLiteral("(*.xls *.xlsx)");
}

void SaveTemplateCopy(QWidget* parent, const QString& templateFolder) {
    const QString target = FileDialogs::saveFileName(parent, QStringLiteral("获取模板"),
                                                     ProposedTemplateName(Clock::instance().now()),
                                                     QStringLiteral("(*.xls)"), QStringLiteral("xls"));
    if (target.isEmpty())
        return;
    if (!CopyTemplate(templateFolder, target)) {
        Messages::warn(parent, TemplateCopyFailedText());
        return;
    }
    ShowFileInFolder(target);
}

void ImportProductsFromFile(AppContext& ctx, QWidget* parent,
                            const std::function<void(const QList<ProductRow>&)>& added) {
    const QString path =
        FileDialogs::openFileName(parent, QStringLiteral("导入产品"), QString(), ImportFileFilter());
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CSpreadSheet sheet(path, ImportSheetName());
    QApplication::restoreOverrideCursor();
    ProductImport import(ctx, sheet);
    if (!import.refusal().isEmpty()) {
        Messages::inform(parent, import.refusal());
        return;
    }

    QProgressDialog progress(QStringLiteral("正在导入产品…"), QString(), 0, import.counters().rows, parent);
    auto* cancel = new QPushButton(QStringLiteral("取消"), &progress);
    cancel->setAccessibleName(cancel->text());
    progress.setCancelButton(cancel);
    progress.setWindowTitle(Messages::title());
    progress.setAccessibleName(QStringLiteral("导入产品"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    while (!import.atEnd() && !progress.wasCanceled()) {
        const QList<ProductRow> created = import.importBatch(kRowsPerBatch);
        if (!created.isEmpty() && added)
            added(created);
        progress.setValue(import.rowsDone());
        QCoreApplication::processEvents();
    }
    const bool cancelled = !import.atEnd();
    progress.close();
    Messages::inform(parent, ImportSummaryText(import.counters(), cancelled));
}

} // namespace selvo::gui
