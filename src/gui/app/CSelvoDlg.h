#pragma once

#include <QMainWindow>

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// The main window.
class CSelvoDlg final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSelvoDlg)

public:
    explicit CSelvoDlg(AppContext& context, QWidget* parent = nullptr);
    ~CSelvoDlg() override;

    // Called once after start-up; `hidden` starts in the background ("-hide").
    void begin(bool hidden);

public slots:
    // Another start, or the tray, asks for the window.
    void showRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppContext& m_context;
};

} // namespace selvo::gui
