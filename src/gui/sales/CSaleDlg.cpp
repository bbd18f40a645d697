#include "gui/sales/CSaleDlg.h"

#include "core/sales/Posting.h"
#include "core/store/AppContext.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "core/support/Number.h"
#include "gui/app/AppFonts.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/PostingOutcome.h"
#include "gui/app/Toast.h"
#include "gui/members/CMemAddDlg.h"
#include "gui/members/CNoSelUser.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/members/CTopupDlg.h"
#include "gui/products/CPrdNumDlg.h"
#include "gui/products/CSelPrdDlg.h"
#include "gui/sales/CFastSaleDlg.h"
#include "gui/sales/CReturnGoodsDlg.h"
#include "gui/sales/CSaleHisDlg.h"
#include "gui/sales/CSettlementDlg.h"
#include "gui/sales/CTJPrdProfits.h"
#include "gui/widgets/CEditPlus.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/CPrdTypeTree.h"
#include "gui/widgets/FieldParts.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
constexpr int kTreeDelayMs = 50;

QPushButton* button(QWidget* parent, const QString& caption) {
    return Named(new QPushButton(caption, parent), caption);
}

QString searchHint() {
    return QStringLiteral("输入名称、首拼、编码查询");
}
} // namespace

CSaleDlg::CSaleDlg(AppContext& ctx, const QString& dataFolder, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_dataFolder(dataFolder), m_tree(new CPrdTypeTree(ctx, this)),
      m_search(new CEditPlus(this)), m_pick(button(this, QStringLiteral("选择商品"))),
      m_list(new CListCtrlPlus(this)),
      m_guest(Named(new QCheckBox(QStringLiteral("散客消费"), this), QStringLiteral("散客消费"))),
      m_chooseMember(button(this, QStringLiteral("选择会员"))),
      m_backDate(Named(new QCheckBox(QStringLiteral("历史消费"), this), QStringLiteral("历史消费"))),
      m_date(Named(new QDateTimeEdit(this), QStringLiteral("消费日期"))),
      m_name(ReadOnlyField(this, QStringLiteral("姓名："), kFieldBlue)),
      m_mobile(ReadOnlyField(this, QStringLiteral("手机："), kFieldBlue)),
      m_balance(ReadOnlyField(this, QStringLiteral("余额："), kFieldBlue)),
      m_points(ReadOnlyField(this, QStringLiteral("积分："), kFieldBlue)),
      m_count(ReadOnlyField(this, QStringLiteral("产品数量："), kFieldGrey)),
      m_listTotal(ReadOnlyField(this, QStringLiteral("商品总价："), kFieldGrey)),
      m_pointsDue(ReadOnlyField(this, QStringLiteral("应得积分："), kFieldGrey)),
      m_pointsEarned(ReadOnlyField(this, QStringLiteral("实得积分："), kFieldRed)),
      m_amountDue(ReadOnlyField(this, QStringLiteral("优惠后总价："), kFieldRed)),
      m_remark(Named(new QLineEdit(this), QStringLiteral("备注："))),
      m_clear(button(this, QStringLiteral("清空"))), m_settle(button(this, QStringLiteral("结算(F10)"))) {
    setAccessibleName(QStringLiteral("销售"));
    m_search->setPlaceholder(searchHint());
    m_search->setSelectAllOnFocus(true);
    m_amountDue->setFont(AppBoldFont());
    // Wide enough, in the fonts used, for a whole mobile number and the figures.
    FitWidthTo(m_mobile, QStringLiteral("00000000000"));
    for (QLineEdit* figure : {m_balance, m_listTotal, m_amountDue})
        FitWidthTo(figure, QStringLiteral("￥00000.00"));
    m_settle->setFont(AppLargeFont());
    m_settle->setMinimumHeight(48);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_date->setCalendarPopup(true);
    m_date->setDateTime(Clock::instance().now());
    m_date->hide();

    for (int c = 0; c < CartColumnCount; ++c) {
        static const int kWidths[] = {50, 240, 100, 100, 100, 100, 100, 0, 0, 0, 0};
        m_list->addColumn(CartHeader(c), kWidths[c], c <= ColName ? Qt::AlignLeft : Qt::AlignRight);
    }
    // The given widths are the least: the figures' columns grow to what they show in this font;
    // the name column keeps its width (a long name is cut short, the figures never are).
    QList<int> figures;
    for (int c = 0; c < CartColumnCount; ++c)
        if (c != ColName)
            figures << c;
    m_list->setWidenToFit(figures);
    // The cart keeps room for all its columns (and a scroll bar); the tree beside it gives way.
    const auto keepColumnsInView = [this] {
        m_list->setMinimumWidth(m_list->horizontalHeader()->length() + 2 * m_list->frameWidth() +
                                m_list->verticalScrollBar()->sizeHint().width());
    };
    connect(m_list->horizontalHeader(), &QHeaderView::sectionResized, this, keepColumnsInView);
    keepColumnsInView();
    m_list->setHighlightColumns({ColQuantity, ColDiscount, ColDiscountPrice});
    m_list->setAccessibleName(QStringLiteral("购物车"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* topButtons = new QHBoxLayout;
    for (const auto& [caption, slot] : {std::pair{QStringLiteral("退货"), &CSaleDlg::returnGoods},
                                        std::pair{QStringLiteral("消费\\退货记录"), &CSaleDlg::salesRecords},
                                        std::pair{QStringLiteral("快速销售"), &CSaleDlg::fastSale},
                                        std::pair{QStringLiteral("会员充值\\扣款"), &CSaleDlg::recharge},
                                        std::pair{QStringLiteral("新增会员"), &CSaleDlg::newMember},
                                        std::pair{QStringLiteral("产品销售统计"), &CSaleDlg::productStats}}) {
        QPushButton* b = button(this, caption);
        connect(b, &QPushButton::clicked, this, slot);
        topButtons->addWidget(b);
    }
    topButtons->addStretch(1);

    auto* left = new QVBoxLayout;
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_pick);
    left->addLayout(searchRow);
    left->addWidget(m_tree, 1);

    // Each caption names its field; the field's accessible name is the caption.
    const auto label = [this](const QString& text) {
        QWidget* named = field(text);
        return named ? CaptionFor(this, text, named) : new QLabel(text, this);
    };
    auto* member = new QGridLayout;
    member->addWidget(m_guest, 0, 0);
    member->addWidget(m_chooseMember, 0, 1);
    member->addWidget(m_backDate, 0, 2);
    member->addWidget(m_date, 0, 3);
    member->addWidget(label(QStringLiteral("姓名：")), 1, 0);
    member->addWidget(m_name, 1, 1);
    member->addWidget(label(QStringLiteral("手机：")), 1, 2);
    member->addWidget(m_mobile, 1, 3);
    member->addWidget(label(QStringLiteral("余额：")), 2, 0);
    member->addWidget(m_balance, 2, 1);
    member->addWidget(label(QStringLiteral("积分：")), 2, 2);
    member->addWidget(m_points, 2, 3);

    auto* totals = new QGridLayout;
    totals->addWidget(label(QStringLiteral("产品数量：")), 0, 0);
    totals->addWidget(m_count, 0, 1);
    totals->addWidget(label(QStringLiteral("商品总价：")), 0, 2);
    totals->addWidget(m_listTotal, 0, 3);
    totals->addWidget(label(QStringLiteral("应得积分：")), 1, 0);
    totals->addWidget(m_pointsDue, 1, 1);
    totals->addWidget(label(QStringLiteral("实得积分：")), 1, 2);
    totals->addWidget(m_pointsEarned, 1, 3);
    totals->addWidget(label(QStringLiteral("优惠后总价：")), 2, 0);
    totals->addWidget(m_amountDue, 2, 1, 1, 3);
    totals->addWidget(label(QStringLiteral("备注：")), 3, 0);
    totals->addWidget(m_remark, 3, 1, 1, 3);
    auto* actions = new QVBoxLayout;
    actions->addWidget(m_settle);
    actions->addWidget(m_clear);

    auto* panels = new QHBoxLayout;
    panels->addLayout(member, 1);
    panels->addSpacing(12);
    panels->addLayout(totals, 1);
    panels->addLayout(actions);

    auto* right = new QVBoxLayout;
    right->addLayout(panels);
    right->addWidget(m_list, 1);

    auto* body = new QHBoxLayout;
    body->addLayout(left, 0);
    body->addSpacing(10);
    body->addLayout(right, 1);
    // Narrow enough that the cart's columns all show beside it on a 1024-pixel screen.
    m_tree->setMinimumWidth(180);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 5, 1, 1);
    layout->addLayout(topButtons);
    layout->addLayout(body, 1);

    connect(m_search, &QLineEdit::textChanged, this, &CSaleDlg::searchChanged);
    connect(m_pick, &QPushButton::clicked, this, &CSaleDlg::pickProducts);
    connect(m_tree, &CPrdTypeTree::productActivated, this, [this](int id) { addProduct(id, true); });
    connect(m_list, &CListCtrlPlus::itemClicked, this, &CSaleDlg::cartClicked);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CSaleDlg::cartMenuRequested);
    connect(m_guest, &QCheckBox::toggled, this, &CSaleDlg::guestToggled);
    connect(m_chooseMember, &QPushButton::clicked, this, &CSaleDlg::chooseMember);
    connect(m_backDate, &QCheckBox::toggled, m_date, &QWidget::setVisible);
    connect(m_clear, &QPushButton::clicked, this, &CSaleDlg::clearSale);
    connect(m_settle, &QPushButton::clicked, this, &CSaleDlg::settle);

    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    f10->setContext(Qt::WidgetWithChildrenShortcut);
    connect(f10, &QShortcut::activated, this, &CSaleDlg::settle);
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_search->setFocus();
        m_search->selectAll();
    });
    m_search->installEventFilter(this);
    m_tree->installEventFilter(this);

    showTotals();
}

CSaleDlg::~CSaleDlg() {
    // The children outlive this part of the object: a search box that loses the focus as it goes
    // puts its hint back and says its text changed. Nothing of theirs may reach this any more.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void CSaleDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The page shows first; the tree, which may list every product, fills just after.
    if (!m_treeLoaded) {
        m_treeLoaded = true;
        QTimer::singleShot(kTreeDelayMs, this, &CSaleDlg::loadTree);
    }
}

void CSaleDlg::loadTree() {
    m_treeLoaded = true;
    m_tree->LoadTree(1);
}

bool CSaleDlg::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_search || watched == m_tree) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            addFromSearch();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QLineEdit* CSaleDlg::field(const QString& caption) const {
    for (QLineEdit* f : {m_name, m_mobile, m_balance, m_points, m_count, m_listTotal, m_pointsDue,
                         m_pointsEarned, m_amountDue, m_remark}) {
        if (f->accessibleName() == caption)
            return f;
    }
    return nullptr;
}

CartTotals CSaleDlg::totals() const {
    return m_cart.totals(m_ctx.settings);
}

void CSaleDlg::searchChanged() {
    if (m_search->showsPlaceholder())
        return;
    m_tree->SelectMatch(m_search->text().toUpper());
}

void CSaleDlg::addFromSearch() {
    const int scanned = FindOnSaleProductByCode(m_ctx, m_search->value());
    if (scanned > 0) {
        addProduct(scanned, true);
    } else if (QTreeWidgetItem* node = m_tree->selectedNode()) {
        const CPrdTypeTree::NodeRecord record = CPrdTypeTree::recordOf(node);
        if (record.kind == CPrdTypeTree::ProductNode)
            addProduct(record.id, true);
    }
    m_search->selectAll();
}

void CSaleDlg::addProduct(int productId, bool increment) {
    const auto product = LoadSaleProduct(m_ctx, productId);
    if (!product) {
        ToastError(this, QStringLiteral("无法找到产品信息"));
        return;
    }
    m_cart.add(*product, increment);
    refresh();
}

void CSaleDlg::pickProducts() {
    CSelPrdDlg dlg(m_ctx, this);
    if (dlg.exec() != QDialog::Accepted || dlg.idsText().isEmpty())
        return;
    // Each ID is followed by a comma; a trailing piece without one is not an ID.
    QStringList pieces = dlg.idsText().split(QLatin1Char(','));
    pieces.removeLast();
    for (const QString& piece : pieces)
        addProduct(ParseLeadingInt(piece), false);
}

void CSaleDlg::refresh() {
    m_list->clear();
    for (const CartRow& row : m_cart.rows()) {
        QStringList texts;
        for (int c = 0; c < CartColumnCount; ++c)
            texts << row.text(c);
        m_list->addRow(texts, row.productId);
    }
    if (m_selectedRow >= m_cart.size())
        m_selectedRow = -1;
    if (m_selectedRow >= 0)
        m_list->setSelectedRow(m_selectedRow);
    showTotals();
}

void CSaleDlg::showTotals() {
    const CartTotals t = totals();
    m_amountDue->setText(t.amountDueText());
    m_listTotal->setText(t.listTotalText());
    m_pointsDue->setText(t.pointsText());
    m_pointsEarned->setText(t.pointsText());
    m_count->setText(t.productCountText());
}

void CSaleDlg::cartClicked(int row, int column) {
    m_selectedRow = row;
    if (column == ColQuantity || column == ColDiscount || column == ColDiscountPrice)
        editRow(row);
}

QMenu* CSaleDlg::createCartMenu(int row) {
    if (row < 0 || row >= m_cart.size())
        return nullptr;
    auto* menu = new QMenu(QStringLiteral("销售产品"), this);
    menu->setAccessibleName(menu->title());
    const auto add = [&](const QString& text, CartCommand command) {
        QAction* a = menu->addAction(text);
        connect(a, &QAction::triggered, this, [this, row, command] { runCartCommand(row, command); });
    };
    add(QStringLiteral("移除"), RemoveRow);
    add(QStringLiteral("数量 +1"), PlusOne);
    add(QStringLiteral("数量 -1"), MinusOne);
    add(QStringLiteral("修改数量"), EditQuantity);
    return menu;
}

void CSaleDlg::cartMenuRequested(const QPoint& pos) {
    const int row = m_list->indexAt(pos).row();
    if (row < 0)
        return;
    m_selectedRow = row;
    m_list->setSelectedRow(row);
    QMenu* menu = createCartMenu(row);
    menu->exec(m_list->viewport()->mapToGlobal(pos));
    menu->deleteLater();
}

void CSaleDlg::runCartCommand(int row, CartCommand command) {
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

void CSaleDlg::editRow(int row) {
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

void CSaleDlg::showGuest() {
    m_name->setText(QStringLiteral("散客"));
    m_mobile->setText(QStringLiteral("-"));
    m_balance->setText(FormatMoney(0));
    m_points->setText(QStringLiteral("0"));
    m_memberId = kWalkInMember;
}

void CSaleDlg::guestToggled(bool guest) {
    if (guest)
        showGuest();
    m_chooseMember->setEnabled(!guest);
}

bool CSaleDlg::chooseMember() {
    CSelUserDlg dlg(m_ctx, CSelUserDlg::below(m_chooseMember), this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const auto member = LoadSettlementMember(m_ctx, dlg.memberId());
    if (!member) {
        // Unreadable: the panel keeps what it showed.
        ToastError(this, QStringLiteral("无法读取会员信息，请重试！"));
        return false;
    }
    m_memberId = member->id;
    m_name->setText(member->name);
    m_mobile->setText(member->mobile);
    m_balance->setText(FormatMoney(member->balance));
    m_points->setText(QString::number(member->points));
    return true;
}

void CSaleDlg::clearSale() {
    m_cart.clear();
    m_selectedRow = -1;
    refresh();
    showGuest();
    m_backDate->setChecked(false);
    m_date->hide();
    m_date->setDateTime(Clock::instance().now());
    m_remark->clear();
}

void CSaleDlg::settle() {
    if (const QString refusal = CheckCartHasProducts(totals()); !refusal.isEmpty()) {
        ToastError(this, refusal);
        m_search->setFocus(); // where products are found
        return;
    }
    if (!m_guest->isChecked() && IsWalkIn(m_memberId)) {
        CNoSelUser ask(this);
        const int choice = ask.exec();
        if (choice == CNoSelUser::Guest) {
            m_guest->setChecked(true);
            showGuest();
        } else if (choice != CNoSelUser::Member || !chooseMember()) {
            return;
        }
    }
    const CartTotals t = totals();
    if (const QString refusal = CheckAmountDue(t); !refusal.isEmpty()) {
        ToastError(this, refusal);
        m_list->setFocus(); // the cart, where prices and discounts are changed
        return;
    }
    const QDateTime saleDate = m_backDate->isChecked() ? m_date->dateTime() : Clock::instance().now();
    CSettlementDlg dlg(m_ctx, m_memberId, t.amountDue(), this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const OrderDraft draft =
        MakeSaleDraft(m_cart, m_ctx.settings, m_memberId, dlg.payment(),
                      ParseLeadingInt(m_pointsEarned->text()), m_remark->text(), saleDate);
    const PostResult result = PostOrder(m_ctx, draft);
    if (!result.ok) {
        ShowPostingFailure(this, result);
        return;
    }
    ShowPostingDone(this, SaleDoneText());
    clearSale();
}

void CSaleDlg::returnGoods() {
    CReturnGoodsDlg dlg(m_ctx, this);
    dlg.exec();
}

void CSaleDlg::salesRecords() {
    CSaleHisDlg dlg(m_ctx, this);
    dlg.exec();
}

void CSaleDlg::productStats() {
    CTJPrdProfits dlg(m_ctx, this);
    dlg.exec();
}

void CSaleDlg::fastSale() {
    CFastSaleDlg dlg(m_ctx, this);
    dlg.exec();
}

void CSaleDlg::recharge() {
    CTopupDlg dlg(m_ctx, -1, this);
    dlg.exec();
}

void CSaleDlg::newMember() {
    CMemAddDlg dlg(m_ctx, m_dataFolder, -1, this);
    dlg.exec();
}

} // namespace selvo::gui
