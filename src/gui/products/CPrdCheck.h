#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// "盘点": sets one product's stock to the counted amount. Ends with OK once the stock-take is
// booked; the opener then reads newStockText().
class CPrdCheck final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPrdCheck)

public:
    CPrdCheck(AppContext& context, const QString& productCode, QWidget* parent = nullptr);
    ~CPrdCheck() override;

    QString newStockText() const { return m_result; }
    void accept() override;

    QLineEdit* nameField() const { return m_name; }
    QLineEdit* stockField() const { return m_stock; }
    QLineEdit* newStockEdit() const { return m_newStock; }
    QPlainTextEdit* reasonEdit() const { return m_reason; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppContext& m_context;
    QString m_code;
    int m_mustIntNum = 0;
    QString m_result;
    QLineEdit* m_name;
    QLineEdit* m_stock;
    QLineEdit* m_newStock;
    QPlainTextEdit* m_reason;
};

} // namespace selvo::gui
