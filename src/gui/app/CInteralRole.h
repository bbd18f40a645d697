#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// The points rules: yuan per point, points per yuan, and whether special offers earn points.
class CInteralRole final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CInteralRole)

public:
    explicit CInteralRole(AppContext& ctx, QWidget* parent = nullptr);
    ~CInteralRole() override;

    void accept() override;

private:
    AppContext& m_ctx;
    QLineEdit* m_pointsRate;
    QLineEdit* m_redemptionRate;
    QRadioButton* m_earns;
    QRadioButton* m_doesNotEarn;
};

} // namespace selvo::gui
