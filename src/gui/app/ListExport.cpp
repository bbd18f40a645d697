#include "gui/app/ListExport.h"

#include "gui/app/FileDialogs.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/ListCsv.h"

#include <QSaveFile>

namespace selvo::gui {

bool ExportListToCsv(const QString& proposedName, CListCtrlPlus* list, QWidget* owner) {
    if (!list || list->rowCount() == 0) {
        ShowToast(QStringLiteral("没有可导出的数据"), kToastBlue, 1.5, 0, nullptr);
        return false;
    }

    const QString path = FileDialogs::saveFileName(owner, QStringLiteral("另存为"), proposedName,
                                                   QStringLiteral("(*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return true;

    const QByteArray csv = ListCsv(list);
    // Written whole or not at all: an existing file is only replaced once the new one is complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) < 0 || !file.commit()) {
        Messages::warn(owner, QStringLiteral("导出失败，无法写入文件：") + path, file.errorString());
        return false;
    }
    ShowFileInFolder(path);
    return true;
}

} // namespace selvo::gui
