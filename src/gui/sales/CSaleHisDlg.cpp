#include "gui/sales/CSaleHisDlg.h"

#include "core/sales/Cancellation.h"
#include "core/sales/Settlement.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "gui/app/DialogParts.h"
#include "gui/app/ListExport.h"
#include "gui/app/Messages.h"
#include "gui/app/PostingOutcome.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/sales/ReceiptPrinter.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/FieldParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
constexpr int kFirstQueryDelayMs = 50;
// The filter bar above the order list, and the gap between the two lists.
constexpr int kBarHeight = 80;
constexpr int kListGap = 10;
constexpr int kLineListShorter = 24;

QPushButton* button(QWidget* parent, const QString& caption) {
    auto* b = Named(new QPushButton(caption, parent), caption);
    b->setAutoDefault(false);
    return b;
}

QComboBox* choiceBox(QWidget* parent, const QList<std::pair<QString, int>>& items, const QString& caption) {
    auto* box = Named(new QComboBox(parent), caption);
    for (const auto& [text, value] : items)
        box->addItem(text, value);
    box->setCurrentIndex(0);
    return box;
}

// A caption label in front of its control.
QLabel* captionFor(QWidget* parent, QWidget* control) {
    auto* label = new QLabel(control->accessibleName(), parent);
    label->setBuddy(control);
    return label;
}

Qt::Alignment recordAlignment(int column) {
    switch (column) {
    case RecOrderType:
    case RecPayType:
    case RecOperator:
        return Qt::AlignCenter;
    case RecTotalValue:
    case RecDealPrice:
    case RecReceived:
    case RecChange:
    case RecProductCount:
    case RecPoints:
    case RecProfit:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

Qt::Alignment lineAlignment(int column) {
    if (column == LineNo)
        return Qt::AlignCenter;
    return column == LineCode || column == LineName ? Qt::AlignLeft : Qt::AlignRight;
}
} // namespace

CSaleHisDlg::CSaleHisDlg(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_bar(new QWidget(this)),
      m_customer(choiceBox(m_bar,
                           {{QStringLiteral("不限"), SalesRecordFilter::AnyCustomer},
                            {QStringLiteral("会员消费"), SalesRecordFilter::Members},
                            {QStringLiteral("散客消费"), SalesRecordFilter::Guests}},
                           QStringLiteral("会员类型："))),
      m_orderType(choiceBox(m_bar,
                            {{QStringLiteral("不限"), 0},
                             {QStringLiteral("销售订单"), 1},
                             {QStringLiteral("积分兑换"), 3},
                             {QStringLiteral("退货订单"), 2},
                             {QStringLiteral("快速销售订单"), 4}},
                            QStringLiteral("订单类型："))),
      m_payType(choiceBox(m_bar,
                          {{QStringLiteral("不限"), 0},
                           {QStringLiteral("现金支付"), 1},
                           {QStringLiteral("余额支付"), 2},
                           {QStringLiteral("积分兑换"), 3}},
                          QStringLiteral("支付方式："))),
      m_operator(choiceBox(m_bar, OperatorChoices(ctx), QStringLiteral("售货员："))),
      m_useFrom(Named(new QCheckBox(QStringLiteral("消费日期："), m_bar), QStringLiteral("消费日期："))),
      m_from(Named(new QDateEdit(m_bar), QStringLiteral("消费日期："))),
      m_useTo(Named(new QCheckBox(QStringLiteral("至"), m_bar), QStringLiteral("至"))),
      m_to(Named(new QDateEdit(m_bar), QStringLiteral("至"))),
      m_chooseMember(button(m_bar, QStringLiteral("选择会员"))), m_memberPanel(new QWidget(m_bar)),
      m_name(ReadOnlyField(m_memberPanel, QStringLiteral("姓名："), kFieldRed)),
      m_mobile(ReadOnlyField(m_memberPanel, QStringLiteral("手机："), kFieldRed)),
      m_balance(ReadOnlyField(m_memberPanel, QStringLiteral("余额："), kFieldBlue)),
      m_points(ReadOnlyField(m_memberPanel, QStringLiteral("积分："), kFieldBlue)),
      m_ordersSummary(Named(new QLabel(m_bar), QStringLiteral("销售汇总"))),
      m_rechargesSummary(Named(new QLabel(m_bar), QStringLiteral("充值汇总"))),
      m_orders(new CListCtrlPlus(this)), m_lines(new CListCtrlPlus(this)) {
    setWindowTitle(QStringLiteral("销售/退货 记录"));
    setAccessibleName(windowTitle());
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    // Both date boxes start switched on at today: the first list is today's business.
    const QDate today = Clock::instance().now().date();
    for (auto [check, date] : {std::pair{m_useFrom, m_from}, std::pair{m_useTo, m_to}}) {
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setCalendarPopup(true);
        date->setDate(today);
        check->setChecked(true);
        connect(check, &QCheckBox::toggled, date, &QDateEdit::setEnabled);
    }
    m_chooseMember->setEnabled(false);

    for (QLabel* line : {m_ordersSummary, m_rechargesSummary}) {
        SetTextColour(line, kFieldBlue);
        line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    auto* member = new QHBoxLayout(m_memberPanel);
    member->setContentsMargins(0, 0, 0, 0);
    for (QLineEdit* f : {m_name, m_mobile, m_balance, m_points}) {
        member->addWidget(captionFor(m_memberPanel, f));
        member->addWidget(f);
    }
    clearMemberPanel();
    m_memberPanel->hide();

    QPushButton* search = button(m_bar, QStringLiteral("查询"));
    QPushButton* exportButton = button(m_bar, QStringLiteral("导出到Excel"));
    QPushButton* close = button(m_bar, QStringLiteral("关闭"));

    auto* first = new QHBoxLayout;
    first->addWidget(captionFor(m_bar, m_customer));
    first->addWidget(m_customer);
    first->addWidget(m_chooseMember);
    first->addWidget(m_memberPanel);
    first->addStretch(1);
    first->addWidget(m_ordersSummary);

    auto* second = new QHBoxLayout;
    for (QComboBox* box : {m_orderType, m_payType, m_operator}) {
        second->addWidget(captionFor(m_bar, box));
        second->addWidget(box);
    }
    second->addSpacing(8);
    second->addWidget(m_useFrom);
    second->addWidget(m_from);
    second->addWidget(m_useTo);
    second->addWidget(m_to);
    second->addWidget(search);
    second->addWidget(new QLabel(QStringLiteral("最多显示500条记录"), m_bar));
    second->addWidget(exportButton);
    second->addWidget(close);
    second->addStretch(1);
    second->addWidget(m_rechargesSummary);

    auto* bar = new QVBoxLayout(m_bar);
    bar->setContentsMargins(8, 6, 8, 6);
    bar->addLayout(first);
    bar->addLayout(second);

    for (int c = 0; c < RecColumnCount; ++c)
        m_orders->addColumn(SalesRecordHeader(c), SalesRecordWidth(c), recordAlignment(c));
    m_orders->setAccessibleName(QStringLiteral("订单列表"));
    m_orders->setContextMenuPolicy(Qt::CustomContextMenu);
    for (int c = 0; c < LineColumnCount; ++c)
        m_lines->addColumn(SalesLineHeader(c), SalesLineWidth(c), lineAlignment(c));
    m_lines->setAccessibleName(QStringLiteral("订单详情"));

    connect(m_customer, &QComboBox::currentIndexChanged, this, &CSaleHisDlg::customerChanged);
    connect(m_chooseMember, &QPushButton::clicked, this, &CSaleHisDlg::chooseMember);
    connect(search, &QPushButton::clicked, this, &CSaleHisDlg::query);
    connect(exportButton, &QPushButton::clicked, this, &CSaleHisDlg::exportList);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_orders, &CListCtrlPlus::itemClicked, this, [this](int row, int) { showLines(row); });
    // A row chosen with the keyboard shows its lines as a clicked one does.
    connect(m_orders, &CListCtrlPlus::selectedRowChanged, this, &CSaleHisDlg::showLines);
    connect(m_orders, &QWidget::customContextMenuRequested, this, &CSaleHisDlg::orderMenuRequested);

    resize(1280, 720);
    setWindowState(windowState() | Qt::WindowMaximized);
}

CSaleHisDlg::~CSaleHisDlg() = default;

void CSaleHisDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The window shows first; the list, which may take a moment, fills just after.
    if (!m_opened) {
        m_opened = true;
        QTimer::singleShot(kFirstQueryDelayMs, this, &CSaleHisDlg::query);
    }
}

void CSaleHisDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int w = width();
    const int h = qMax(0, (height() - kBarHeight) / 2);
    m_bar->setGeometry(0, 0, w, kBarHeight);
    m_orders->setGeometry(0, kBarHeight, w, h);
    m_lines->setGeometry(0, kBarHeight + kListGap + h, w, qMax(0, h - kLineListShorter));
}

QLineEdit* CSaleHisDlg::field(const QString& caption) const {
    for (QLineEdit* f : {m_name, m_mobile, m_balance, m_points}) {
        if (f->accessibleName() == caption)
            return f;
    }
    return nullptr;
}

SalesRecordFilter CSaleHisDlg::currentFilter() const {
    SalesRecordFilter f;
    f.customer = m_customer->currentData().toInt();
    f.memberId = f.customer == SalesRecordFilter::Members ? m_memberId : -1;
    f.payType = m_payType->currentData().toInt();
    f.orderType = m_orderType->currentData().toInt();
    f.operatorId = m_operator->currentData().toInt();
    if (m_useFrom->isChecked())
        f.from = m_from->date();
    if (m_useTo->isChecked())
        f.to = m_to->date();
    return f;
}

void CSaleHisDlg::query() {
    m_orders->clear();
    m_lines->clear();
    m_shownRow = -1;
    m_shownOrderNo.clear();
    m_filter = currentFilter();
    const SalesRecords records = QuerySalesRecords(m_ctx, m_filter);
    showSummary(records.summary);
    for (const SalesRecordRow& row : records.rows)
        m_orders->addRow(row.texts, row.id);
}

void CSaleHisDlg::showSummary(const std::optional<SalesSummary>& summary) {
    m_ordersSummary->clear();
    m_rechargesSummary->clear();
    if (!summary)
        return;
    m_ordersSummary->setText(summary->ordersLine());
    m_rechargesSummary->setText(summary->rechargesLine());
}

void CSaleHisDlg::showLines(int row) {
    if (row < 0 || row >= m_orders->rowCount() || row == m_shownRow)
        return;
    m_lines->clear();
    m_shownRow = row;
    m_shownOrderNo = m_orders->itemText(row, RecOrderNo);
    if (const auto lines = QueryOrderLineTexts(m_ctx, m_shownOrderNo)) {
        for (const QStringList& texts : *lines)
            m_lines->addRow(texts);
    }
}

QMenu* CSaleHisDlg::createOrderMenu(int row) {
    if (row < 0 || row >= m_orders->rowCount())
        return nullptr;
    auto* menu = new QMenu(this);
    connect(menu->addAction(QStringLiteral("撤销订单")), &QAction::triggered, this,
            &CSaleHisDlg::cancelSelected);
    connect(menu->addAction(QStringLiteral("打印订单")), &QAction::triggered, this, [this] { printShown(); });
    return menu;
}

void CSaleHisDlg::orderMenuRequested(const QPoint& pos) {
    const int row = m_orders->indexAt(pos).row();
    if (row < 0)
        return;
    m_orders->setSelectedRow(row);
    showLines(row);
    QMenu* menu = createOrderMenu(row);
    menu->exec(m_orders->viewport()->mapToGlobal(pos));
    menu->deleteLater();
}

void CSaleHisDlg::printShown(QPrinter* printer) {
    if (m_shownOrderNo.isEmpty())
        return;
    PrintReceipt(this, m_ctx, m_shownOrderNo, printer);
}

void CSaleHisDlg::cancelSelected() {
    const int row = m_orders->selectedRow();
    if (row < 0)
        return;
    const QStringList texts = m_orders->rowTexts(row);
    const CancelPlan plan = PrepareCancelOrder(m_ctx, texts.value(RecOrderNo));
    if (!plan.ok()) {
        Messages::warn(this, BoxText(plan.refusal));
        return;
    }
    if (!Messages::ask(this, BoxText(plan.confirmation)))
        return;
    const CancelResult result = CommitCancelOrder(m_ctx, plan, CancelLogText(texts));
    if (!result.ok) {
        ShowPostingFailure(this, PostFailure::MessageBox, BoxText(result.message), result.detail);
        return;
    }
    // The list stays as queried, less this order; the sums follow the same filter.
    m_orders->removeRow(row);
    m_lines->clear();
    m_shownRow = -1;
    m_shownOrderNo.clear();
    if (m_memberId != -1)
        loadMember();
    showSummary(QuerySalesSummary(m_ctx, m_filter));
}

void CSaleHisDlg::clearMemberPanel() {
    m_name->clear();
    m_mobile->clear();
    m_balance->setText(FormatMoney(0));
    m_points->setText(QStringLiteral("0"));
}

void CSaleHisDlg::loadMember() {
    const auto member = LoadSettlementMember(m_ctx, m_memberId);
    if (!member)
        return;
    m_name->setText(member->name);
    m_mobile->setText(member->mobile);
    m_balance->setText(FormatMoney(member->balance));
    m_points->setText(QString::number(member->points));
}

bool CSaleHisDlg::chooseMember() {
    CSelUserDlg dlg(m_ctx, CSelUserDlg::below(m_chooseMember), this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    clearMemberPanel();
    m_memberPanel->show();
    m_memberId = dlg.memberId();
    loadMember();
    return true;
}

void CSaleHisDlg::customerChanged() {
    m_chooseMember->setEnabled(m_customer->currentData().toInt() == SalesRecordFilter::Members);
    clearMemberPanel();
    m_memberPanel->hide();
    m_memberId = -1;
}

void CSaleHisDlg::exportList() {
    ExportListToCsv(SalesRecordExportName(), m_orders, this);
}

} // namespace selvo::gui
