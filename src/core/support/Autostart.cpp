#include "core/support/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace selvo {

namespace {
// Desktop entry Exec quoting: a path with anything but plain characters goes in double quotes,
// with ", `, $ and \ escaped.
QString quoteArgument(const QString& arg) {
    bool plain = !arg.isEmpty();
    for (const QChar c : arg) {
        if (!(c.isLetterOrNumber() || QStringLiteral("/._-+,").contains(c))) {
            plain = false;
            break;
        }
    }
    if (plain)
        return arg;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (QStringLiteral("\"`$\\").contains(c))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

QString readExecLine(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inEntry = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return {};
}
} // namespace

QString AutostartFile(const QString& configDir) {
    const QString base = configDir.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             : configDir;
    return QDir(base).filePath(QStringLiteral("autostart/selvo.desktop"));
}

QString AutostartCommand(const QString& executable) {
    return quoteArgument(QDir::cleanPath(executable)) + QStringLiteral(" -hide");
}

bool IsAutostartSet(const QString& executable, const QString& configDir) {
    return readExecLine(AutostartFile(configDir)) == AutostartCommand(executable);
}

bool SetAutostart(const QString& executable, bool on, const QString& configDir) {
    const QString file = AutostartFile(configDir);
    if (!on)
        return !QFile::exists(file) || QFile::remove(file);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=岚拓会员销售系统\n"
                                        "Exec=") +
                         AutostartCommand(executable) +
                         QStringLiteral("\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n");
    out.write(text.toUtf8());
    return out.commit();
}

} // namespace selvo
