#include "gui/app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace selvo::gui {

bool InstallQtTranslations(QCoreApplication& app) {
    static QPointer<QTranslator> installed;
    if (installed)
        return true;
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    auto* translator = new QTranslator(&app);
    // "qt" pulls in the module catalogues (qtbase, qtmultimedia …) it names.
    if (!translator->load(chinese, QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

} // namespace selvo::gui
