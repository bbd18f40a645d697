#include "core/store/InstallPaths.h"

#include <QDir>
#include <QFileInfo>

namespace selvo {

QString TemplateFolder(const QString& executableFolder) {
    if (executableFolder.isEmpty())
        return {};
    const QDir exe(executableFolder);
    for (const QString& candidate : {exe.filePath(QStringLiteral("Template")),
                                     exe.filePath(QStringLiteral("../share/selvo/Template"))}) {
        if (QFileInfo(candidate).isDir())
            return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    }
    return {};
}

} // namespace selvo
