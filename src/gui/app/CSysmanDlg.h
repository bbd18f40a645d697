#pragma once

#include <QWidget>

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// The system section page: operator management, store information, password change, the log and
// a backup of the database now.
class CSysmanDlg final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSysmanDlg)

public:
    explicit CSysmanDlg(AppContext& ctx, QWidget* parent = nullptr);
    ~CSysmanDlg() override;

private:
    void openOperators();
    void openStoreInfo();
    void openPassword();
    void openLog();
    void backupNow();

    AppContext& m_ctx;
};

} // namespace selvo::gui
