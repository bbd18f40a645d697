#pragma once

#include <QDialog>

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// "盘点记录": the latest stock-takes of one product, read-only.
class CPrdCheckRecord final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CPrdCheckRecord)

public:
    CPrdCheckRecord(AppContext& context, const QString& productCode, const QString& productName,
                    QWidget* parent = nullptr);
    ~CPrdCheckRecord() override;

    CListCtrlPlus* list() const { return m_list; }

private:
    CListCtrlPlus* m_list;
};

} // namespace selvo::gui
