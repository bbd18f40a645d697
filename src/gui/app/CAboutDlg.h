#pragma once

#include <QDialog>

namespace selvo::gui {

// The About box: program name, version and icon.
class CAboutDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAboutDlg)

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;
};

} // namespace selvo::gui
