#include "gui/sales/CTJPrdProfits.h"

#include "core/support/Clock.h"
#include "gui/app/DialogParts.h"
#include "gui/app/ListExport.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
QPushButton* button(QWidget* parent, const QString& caption) {
    auto* b = Named(new QPushButton(caption, parent), caption);
    b->setAutoDefault(false);
    return b;
}

Qt::Alignment statAlignment(int column) {
    return column == StatCode || column == StatName ? Qt::AlignLeft : Qt::AlignRight;
}

Qt::Alignment detailAlignment(int column) {
    switch (column) {
    case DetailOrderNo:
    case DetailMember:
        return Qt::AlignLeft;
    case DetailQuantity:
    case DetailTotal:
    case DetailOrderTotal:
        return Qt::AlignRight;
    default:
        return Qt::AlignCenter;
    }
}
} // namespace

CTJPrdProfits::CTJPrdProfits(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_payType(Named(new QComboBox(this), QStringLiteral("支付方式"))),
      m_useFrom(Named(new QCheckBox(QStringLiteral("消费日期："), this), QStringLiteral("消费日期："))),
      m_from(Named(new QDateEdit(this), QStringLiteral("消费日期："))),
      m_useTo(Named(new QCheckBox(QStringLiteral("至"), this), QStringLiteral("至"))),
      m_to(Named(new QDateEdit(this), QStringLiteral("至"))), m_products(new CListCtrlPlus(this)),
      m_details(new CListCtrlPlus(this)) {
    setWindowTitle(QStringLiteral("产品销售统计"));
    setAccessibleName(windowTitle());
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    m_payType->addItem(QStringLiteral("不限"), 0);
    m_payType->addItem(QStringLiteral("现金支付"), 1);
    m_payType->addItem(QStringLiteral("余额支付"), 2);
    m_payType->setCurrentIndex(0);

    // Both date boxes start switched on at today, as in the sales records.
    const QDate today = Clock::instance().now().date();
    for (auto [check, date] : {std::pair{m_useFrom, m_from}, std::pair{m_useTo, m_to}}) {
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setCalendarPopup(true);
        date->setDate(today);
        check->setChecked(true);
        connect(check, &QCheckBox::toggled, date, &QDateEdit::setEnabled);
    }

    QPushButton* search = button(this, QStringLiteral("查询"));
    QPushButton* exportButton = button(this, QStringLiteral("导出到Excel"));
    QPushButton* close = button(this, QStringLiteral("关闭"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_payType);
    bar->addWidget(m_useFrom);
    bar->addWidget(m_from);
    bar->addWidget(m_useTo);
    bar->addWidget(m_to);
    bar->addWidget(search);
    bar->addWidget(exportButton);
    bar->addWidget(close);
    bar->addStretch(1);

    for (int c = 0; c < StatColumnCount; ++c)
        m_products->addColumn(ProductStatsHeader(c), ProductStatsWidth(c), statAlignment(c));
    m_products->setAccessibleName(QStringLiteral("产品列表"));
    for (int c = 0; c < DetailColumnCount; ++c)
        m_details->addColumn(ProductDetailHeader(c), ProductDetailWidth(c), detailAlignment(c));
    m_details->setAccessibleName(QStringLiteral("销售明细"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_products, 1);
    layout->addWidget(m_details, 1);

    connect(search, &QPushButton::clicked, this, &CTJPrdProfits::query);
    connect(exportButton, &QPushButton::clicked, this, &CTJPrdProfits::exportList);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_products, &CListCtrlPlus::itemClicked, this, [this](int row, int) { showDetails(row); });

    resize(1100, 700);
}

CTJPrdProfits::~CTJPrdProfits() = default;

ProductStatsFilter CTJPrdProfits::currentFilter() const {
    ProductStatsFilter f;
    f.payType = m_payType->currentData().toInt();
    if (m_useFrom->isChecked())
        f.from = m_from->date();
    if (m_useTo->isChecked())
        f.to = m_to->date();
    return f;
}

void CTJPrdProfits::query() {
    m_products->clear();
    if (const auto rows = QueryProductStats(m_ctx, currentFilter())) {
        for (const QStringList& texts : *rows)
            m_products->addRow(texts);
    }
}

void CTJPrdProfits::showDetails(int row) {
    if (row < 0 || row >= m_products->rowCount())
        return;
    m_details->clear();
    if (const auto rows =
            QueryProductStatDetails(m_ctx, m_products->itemText(row, StatCode), currentFilter())) {
        for (const QStringList& texts : *rows)
            m_details->addRow(texts);
    }
}

void CTJPrdProfits::exportList() {
    ExportListToCsv(ProductStatsExportName(), m_products, this);
}

} // namespace selvo::gui
