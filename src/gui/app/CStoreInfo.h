#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// Store information: name, contact data, announcement and receipt greeting.
class CStoreInfo final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CStoreInfo)

public:
    explicit CStoreInfo(AppContext& ctx, QWidget* parent = nullptr);
    ~CStoreInfo() override;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppContext& m_ctx;
    QLineEdit* m_name;
    QLineEdit* m_location;
    QLineEdit* m_website;
    QLineEdit* m_phone;
    QPlainTextEdit* m_announcement;
    QLineEdit* m_greeting;
    bool m_loaded = false;
};

} // namespace selvo::gui
