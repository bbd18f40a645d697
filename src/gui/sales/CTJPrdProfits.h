#pragma once

#include "core/sales/ProductStats.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class CListCtrlPlus;

// "产品销售统计": the order lines of a date range and payment summed per product, and the lines
// behind one product's figures. Reads only.
class CTJPrdProfits final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTJPrdProfits)

public:
    explicit CTJPrdProfits(AppContext& ctx, QWidget* parent = nullptr);
    ~CTJPrdProfits() override;

    // "查询".
    void query();
    // A click on a product row: its lines, for the filter as the controls show it now.
    void showDetails(int row);
    // "导出到Excel".
    void exportList();

    CListCtrlPlus* productList() const { return m_products; }
    CListCtrlPlus* detailList() const { return m_details; }
    QComboBox* payTypeBox() const { return m_payType; }
    QCheckBox* fromBox() const { return m_useFrom; }
    QDateEdit* fromDate() const { return m_from; }
    QCheckBox* toBox() const { return m_useTo; }
    QDateEdit* toDate() const { return m_to; }

private:
    ProductStatsFilter currentFilter() const;

    AppContext& m_ctx;
    QComboBox* m_payType;
    QCheckBox* m_useFrom;
    QDateEdit* m_from;
    QCheckBox* m_useTo;
    QDateEdit* m_to;
    CListCtrlPlus* m_products;
    CListCtrlPlus* m_details;
};

} // namespace selvo::gui
