#include "gui/sales/CReturnGoodsDlg.h"

#include "core/members/Member.h"
#include "core/sales/Returns.h"
#include "core/store/AppContext.h"
#include "core/store/Vocabulary.h"
#include "core/support/Money.h"
#include "gui/app/AppFonts.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/PostingOutcome.h"
#include "gui/app/Toast.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/members/CUserHisDlg.h"
#include "gui/products/CPrdNumDlg.h"
#include "gui/products/CSelPrdDlg.h"
#include "gui/sales/CReturnSelOrder.h"
#include "gui/sales/ReceiptPrinter.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/FieldParts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
QPushButton* button(QWidget* parent, const QString& caption) {
    return Named(new QPushButton(caption, parent), caption);
}
QRadioButton* radio(QWidget* parent, const QString& caption) {
    return Named(new QRadioButton(caption, parent), caption);
}
} // namespace

CReturnGoodsDlg::CReturnGoodsDlg(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx),
      m_guest(Named(new QCheckBox(QStringLiteral("散客退货"), this), QStringLiteral("散客退货"))),
      m_choose(button(this, QStringLiteral("选择会员"))), m_history(button(this, QStringLiteral("消费记录"))),
      m_name(ReadOnlyField(this, QStringLiteral("会员姓名："), kFieldBlue)),
      m_sex(ReadOnlyField(this, QStringLiteral("性别："), kFieldBlue)),
      m_mobile(ReadOnlyField(this, QStringLiteral("会员手机："), kFieldBlue)),
      m_code(ReadOnlyField(this, QStringLiteral("会员卡号："), kFieldBlue)),
      m_balance(ReadOnlyField(this, QStringLiteral("当前余额:"), kFieldBlue)),
      m_cumulative(ReadOnlyField(this, QStringLiteral("累计消费："), kFieldBlue)),
      m_memberPoints(ReadOnlyField(this, QStringLiteral("当前积分："), kFieldBlue)),
      m_byOrder(button(this, QStringLiteral("按订单退货"))),
      m_byProducts(button(this, QStringLiteral("选择商品退货"))), m_list(new CListCtrlPlus(this)),
      m_goods(ReadOnlyField(this, QStringLiteral("商品总价："), kFieldGrey)),
      m_totalPoints(ReadOnlyField(this, QStringLiteral("积分："), kFieldGrey)),
      m_count(ReadOnlyField(this, QStringLiteral("产品数量："), kFieldGrey)),
      m_refundLabel(new QLabel(QStringLiteral("总计退款："), this)),
      m_refund(Named(new QLineEdit(this), QStringLiteral("总计退款："))),
      m_pointsLabel(new QLabel(ReturnPointsLabel(RefundCash), this)),
      m_points(Named(new QLineEdit(this), ReturnPointsLabel(RefundCash))),
      m_cash(radio(this, QStringLiteral("退还现金"))), m_toBalance(radio(this, QStringLiteral("返还余额"))),
      m_asPoints(radio(this, QStringLiteral("返还积分"))),
      m_remark(Named(new QLineEdit(this), QStringLiteral("备注："))),
      m_settle(button(this, QStringLiteral("结算(F10)"))) {
    setWindowTitle(QStringLiteral("退货"));
    setAccessibleName(windowTitle());
    m_fields = {m_name,       m_sex,          m_mobile, m_code,        m_balance,
                m_cumulative, m_memberPoints, m_goods,  m_totalPoints, m_count};
    // The member's records open once the member histories exist.
    m_history->hide();
    m_refund->setFont(AppBoldFont());
    SetTextColour(m_refund, kFieldRed);
    SetTextColour(m_points, kFieldRed);
    m_settle->setFont(AppLargeFont());
    m_settle->setMinimumHeight(48);
    m_settle->setDefault(true);

    static const int kWidths[] = {0, 100, 70, 70, 40, 70, 70, 0, 0, 0, 0};
    for (int c = 0; c < CartColumnCount; ++c)
        m_list->addColumn(ReturnListHeader(c), kWidths[c], c <= ColName ? Qt::AlignLeft : Qt::AlignRight);
    m_list->setHighlightColumns({ColQuantity, ColDiscount, ColDiscountPrice});
    m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->setAccessibleName(QStringLiteral("退货商品"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* modes = new QButtonGroup(this);
    modes->addButton(m_cash, RefundCash);
    modes->addButton(m_toBalance, RefundBalance);
    modes->addButton(m_asPoints, RefundPoints);

    auto* top = new QHBoxLayout;
    top->addWidget(m_guest);
    top->addWidget(m_choose);
    top->addStretch(1);
    top->addWidget(m_history);

    const auto label = [this](const QString& text) {
        return new QLabel(text, this);
    };
    auto* member = new QGridLayout;
    member->addWidget(label(QStringLiteral("会员姓名：")), 0, 0);
    member->addWidget(m_name, 0, 1);
    member->addWidget(label(QStringLiteral("性别：")), 0, 2);
    member->addWidget(m_sex, 0, 3);
    member->addWidget(label(QStringLiteral("会员手机：")), 1, 0);
    member->addWidget(m_mobile, 1, 1);
    member->addWidget(label(QStringLiteral("会员卡号：")), 1, 2);
    member->addWidget(m_code, 1, 3);
    member->addWidget(label(QStringLiteral("当前余额:")), 2, 0);
    member->addWidget(m_balance, 2, 1);
    member->addWidget(label(QStringLiteral("累计消费：")), 2, 2);
    member->addWidget(m_cumulative, 2, 3);
    member->addWidget(label(QStringLiteral("当前积分：")), 3, 0);
    member->addWidget(m_memberPoints, 3, 1);

    auto* sources = new QHBoxLayout;
    sources->addWidget(m_byOrder);
    sources->addWidget(m_byProducts);
    sources->addStretch(1);

    auto* totals = new QGridLayout;
    totals->addWidget(label(QStringLiteral("商品总价：")), 0, 0);
    totals->addWidget(m_goods, 0, 1);
    totals->addWidget(label(QStringLiteral("积分：")), 0, 2);
    totals->addWidget(m_totalPoints, 0, 3);
    totals->addWidget(label(QStringLiteral("产品数量：")), 0, 4);
    totals->addWidget(m_count, 0, 5);
    totals->addWidget(m_refundLabel, 1, 0);
    totals->addWidget(m_refund, 1, 1);
    totals->addWidget(m_pointsLabel, 1, 2);
    totals->addWidget(m_points, 1, 3);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(m_cash);
    modeRow->addWidget(m_toBalance);
    modeRow->addWidget(m_asPoints);
    totals->addLayout(modeRow, 2, 0, 1, 4);
    totals->addWidget(label(QStringLiteral("备注：")), 3, 0);
    totals->addWidget(m_remark, 3, 1, 1, 3);
    totals->addWidget(m_settle, 1, 4, 3, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(member);
    layout->addLayout(sources);
    layout->addWidget(m_list, 1);
    layout->addLayout(totals);
    resize(640, 600);

    connect(m_guest, &QCheckBox::toggled, this, &CReturnGoodsDlg::guestToggled);
    connect(m_choose, &QPushButton::clicked, this, &CReturnGoodsDlg::chooseMember);
    connect(m_history, &QPushButton::clicked, this, &CReturnGoodsDlg::showHistory);
    connect(m_byOrder, &QPushButton::clicked, this, &CReturnGoodsDlg::returnByOrder);
    connect(m_byProducts, &QPushButton::clicked, this, &CReturnGoodsDlg::pickProducts);
    connect(m_settle, &QPushButton::clicked, this, &CReturnGoodsDlg::settle);
    connect(m_refund, &QLineEdit::textChanged, this, &CReturnGoodsDlg::refundEdited);
    connect(m_list, &CListCtrlPlus::itemClicked, this, &CReturnGoodsDlg::listClicked);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CReturnGoodsDlg::listMenuRequested);
    for (QRadioButton* b : {m_cash, m_toBalance, m_asPoints}) {
        const int mode = modes->id(b);
        connect(b, &QRadioButton::toggled, this, [this, mode](bool on) {
            if (on)
                applyMode(mode);
        });
    }
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, &CReturnGoodsDlg::settle);

    m_cash->setChecked(true);
    clearMember();
    showTotals();
}

CReturnGoodsDlg::~CReturnGoodsDlg() = default;

QRadioButton* CReturnGoodsDlg::modeButton(int mode) const {
    switch (mode) {
    case RefundBalance:
        return m_toBalance;
    case RefundPoints:
        return m_asPoints;
    default:
        return m_cash;
    }
}

int CReturnGoodsDlg::mode() const {
    if (m_toBalance->isChecked())
        return RefundBalance;
    if (m_asPoints->isChecked())
        return RefundPoints;
    return RefundCash;
}

QLineEdit* CReturnGoodsDlg::field(const QString& caption) const {
    for (QLineEdit* f : m_fields) {
        if (f->accessibleName() == caption)
            return f;
    }
    return nullptr;
}

void CReturnGoodsDlg::clearMember() {
    for (QLineEdit* f : {m_name, m_mobile, m_code, m_sex})
        f->clear();
    m_balance->setText(FormatMoney(0));
    m_cumulative->setText(FormatMoney(0));
    m_memberPoints->setText(QStringLiteral("0"));
    m_memberId = kWalkInMember;
    m_history->hide();
}

void CReturnGoodsDlg::loadMember(int memberId) {
    clearMember();
    const auto m = memberId > 0 ? ReadMember(m_ctx, memberId) : std::nullopt;
    if (!m)
        return;
    m_memberId = m->id;
    m_name->setText(m->trueName.value_or(QString()));
    m_mobile->setText(m->mobilePhone.value_or(QString()));
    m_code->setText(m->memberCode.value_or(QString()));
    m_balance->setText(FormatMoney(m->balance.value_or(0)));
    m_cumulative->setText(FormatMoney(m->cumulative.value_or(0)));
    m_memberPoints->setText(QString::number(m->integral.value_or(0)));
    m_sex->setText(m->sex.value_or(false) ? QStringLiteral("男") : QStringLiteral("女"));
    m_history->show();
}

bool CReturnGoodsDlg::chooseMember() {
    CSelUserDlg dlg(m_ctx, CSelUserDlg::below(m_choose), this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    loadMember(dlg.memberId());
    return true;
}

void CReturnGoodsDlg::showHistory() {
    CUserHisDlg::OpenForMember(m_ctx, m_memberId, this);
}

void CReturnGoodsDlg::guestToggled(bool guest) {
    if (guest) {
        m_history->hide();
        clearMember();
        m_name->setText(QStringLiteral("散客"));
        m_points->hide();
        m_pointsLabel->hide();
        m_cash->setChecked(true);
        m_refund->show();
        m_refundLabel->show();
        m_pointsLabel->setText(ReturnPointsLabel(RefundCash));
        m_points->setAccessibleName(m_pointsLabel->text());
        showTotals();
    } else {
        m_points->show();
        m_pointsLabel->show();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_choose, m_toBalance, m_asPoints})
        w->setEnabled(!guest);
}

void CReturnGoodsDlg::applyMode(int mode) {
    const bool points = mode == RefundPoints;
    m_refund->setVisible(!points);
    m_refundLabel->setVisible(!points);
    m_pointsLabel->setText(ReturnPointsLabel(mode));
    m_points->setAccessibleName(m_pointsLabel->text());
    showTotals();
}

void CReturnGoodsDlg::refresh() {
    m_list->clear();
    for (const CartRow& row : m_cart.rows()) {
        QStringList texts;
        for (int c = 0; c < CartColumnCount; ++c)
            texts << ReturnRowText(row, c);
        m_list->addRow(texts, row.productId);
    }
    if (m_selectedRow >= m_cart.size())
        m_selectedRow = -1;
    if (m_selectedRow >= 0)
        m_list->setSelectedRow(m_selectedRow);
    showTotals();
}

void CReturnGoodsDlg::showTotals() {
    const ReturnTotals t = ComputeReturnTotals(m_cart, m_ctx.settings, mode());
    // Setting the refund rewrites the points field from it; the totals' own points follow.
    m_refund->setText(t.refundText);
    m_goods->setText(t.goodsTotalText);
    m_points->setText(QString::number(t.points));
    m_totalPoints->setText(QString::number(t.points));
    m_count->setText(QString::number(t.cart.productCount));
}

void CReturnGoodsDlg::refundEdited() {
    const CartTotals t = m_cart.totals(m_ctx.settings);
    m_points->setText(RefundPointsText(m_refund->text(), mode(), t.specialOfferAmount, m_ctx.settings));
}

void CReturnGoodsDlg::returnByOrder() {
    CReturnSelOrder dlg(m_ctx, m_memberId, this);
    if (dlg.exec() != QDialog::Accepted || dlg.orderNo().isEmpty())
        return;
    loadOrder(dlg.orderNo());
}

void CReturnGoodsDlg::loadOrder(const QString& orderNo) {
    const ReturnOrderLoad load = LoadReturnOrder(m_ctx, orderNo);
    if (!load.ok) {
        ToastError(this, load.failure);
        return;
    }
    m_cart.clear();
    m_selectedRow = -1;
    AddReturnRows(m_cart, load.rows);
    refresh();
    // A guest's refund is cash whatever the sale was paid with.
    if (!m_guest->isChecked()) {
        if (modeButton(load.mode)->isChecked())
            applyMode(load.mode);
        else
            modeButton(load.mode)->setChecked(true);
    }
    ShowToast(QStringLiteral("已加载"), kToastBlue, 0.5, 0, this);
}

void CReturnGoodsDlg::pickProducts() {
    CSelPrdDlg dlg(m_ctx, this);
    if (dlg.exec() != QDialog::Accepted || dlg.idsText().isEmpty())
        return;
    if (!AddPickedProducts(m_ctx, m_cart, dlg.idsText()))
        ToastError(this, QStringLiteral("无法找到产品信息"));
    refresh();
}

void CReturnGoodsDlg::listClicked(int row, int column) {
    m_selectedRow = row;
    if (column == ColQuantity || column == ColDiscount || column == ColDiscountPrice)
        editRow(row);
}

QMenu* CReturnGoodsDlg::createListMenu(int row) {
    if (row < 0 || row >= m_cart.size())
        return nullptr;
    auto* menu = new QMenu(QStringLiteral("销售产品"), this);
    menu->setAccessibleName(menu->title());
    const auto add = [&](const QString& text, ListCommand command) {
        QAction* a = menu->addAction(text);
        connect(a, &QAction::triggered, this, [this, row, command] { runListCommand(row, command); });
    };
    add(QStringLiteral("移除"), RemoveRow);
    add(QStringLiteral("数量 +1"), PlusOne);
    if (m_cart.rows()[row].quantity > 1)
        add(QStringLiteral("数量 -1"), MinusOne);
    add(QStringLiteral("修改数量"), EditQuantity);
    return menu;
}

void CReturnGoodsDlg::listMenuRequested(const QPoint& pos) {
    const int row = m_list->indexAt(pos).row();
    if (row < 0)
        return;
    m_selectedRow = row;
    m_list->setSelectedRow(row);
    QMenu* menu = createListMenu(row);
    menu->exec(m_list->viewport()->mapToGlobal(pos));
    menu->deleteLater();
}

void CReturnGoodsDlg::runListCommand(int row, ListCommand command) {
    if (row < 0 || row >= m_cart.size())
        return;
    switch (command) {
    case RemoveRow:
        m_cart.remove(row);
        if (m_selectedRow == row)
            m_selectedRow = -1;
        break;
    case PlusOne:
        m_cart.increment(row);
        break;
    case MinusOne:
        if (!m_cart.decrement(row))
            return;
        break;
    case EditQuantity:
        editRow(row);
        return;
    }
    refresh();
}

void CReturnGoodsDlg::editRow(int row) {
    if (row < 0 || row >= m_cart.size())
        return;
    const CartRow& r = m_cart.rows()[row];
    CPrdNumDlg::Row popup{r.lineName(), r.integerOnly(), r.quantity,
                          r.price,      r.discountPrice, r.discountValue()};
    const QRect cell = m_list->visualRect(m_list->model()->index(row, ColQuantity));
    CPrdNumDlg dlg(popup, m_list->viewport()->mapToGlobal(cell.bottomRight()), this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_cart.applyEdit(row, dlg.edit());
    refresh();
}

void CReturnGoodsDlg::settle() {
    ReturnInput input;
    input.guest = m_guest->isChecked();
    input.memberId = m_memberId;
    input.mode = mode();
    input.refundText = m_refund->text();
    input.pointsText = m_points->text();
    input.remark = m_remark->text();
    const ReturnPlan plan = PrepareReturn(m_ctx, m_cart, input);
    if (!plan.ok()) {
        ToastError(this, plan.refusal);
        QLineEdit* at = plan.field == ReturnField::Refund   ? m_refund
                        : plan.field == ReturnField::Points ? m_points
                                                            : nullptr;
        if (at && at->isVisible()) {
            at->setFocus();
            at->selectAll();
        }
        return;
    }
    if (!Messages::ask(this, BoxText(plan.confirmation), ReturnConfirmCaption()))
        return;
    const ReturnResult result = CommitReturn(m_ctx, plan);
    if (!result.ok) {
        ShowPostingFailure(this, result);
        return;
    }
    if (Messages::ask(this, ReturnPrintQuestion(), QStringLiteral("提示")))
        PrintReceipt(this, m_ctx, result.orderNo, m_printer);
    m_cart.clear();
    m_selectedRow = -1;
    refresh();
    // Over the screen that stays: this one closes at once.
    ShowPostingDone(StayingOwner(this), ReturnDoneText());
    m_memberId = kWalkInMember;
    accept();
}

} // namespace selvo::gui
