#pragma once

class QCoreApplication;

namespace selvo::gui {

// Qt's own Chinese texts ("是", "否", "确定", "取消", the file dialogs …), so standard boxes and
// dialogs speak the program's language whatever the system locale is. Looked for in Qt's
// translations folder (Debian: qt6-translations-l10n). Returns false when none could be loaded;
// the program then runs with Qt's English texts. Installing twice adds nothing.
bool InstallQtTranslations(QCoreApplication& app);

} // namespace selvo::gui
