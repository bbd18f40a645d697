#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// "计量单位": the one list of unit names the product editor's unit box offers, one per line.
class CUnitDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CUnitDlg)

public:
    explicit CUnitDlg(AppContext& context, QWidget* parent = nullptr);
    ~CUnitDlg() override;

    QPlainTextEdit* editor() const { return m_edit; }

public slots:
    void accept() override;

private:
    AppContext& m_context;
    QPlainTextEdit* m_edit;
};

} // namespace selvo::gui
