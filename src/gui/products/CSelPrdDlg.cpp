#include "gui/products/CSelPrdDlg.h"

#include "core/products/ProductPicker.h"
#include "gui/app/Toast.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

CSelPrdDlg::CSelPrdDlg(AppContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_search(new QLineEdit(this)), m_list(new CListCtrlPlus(this)) {
    setWindowTitle(QStringLiteral("请选择商品"));
    setAccessibleName(windowTitle());
    const QString hint = QStringLiteral("输入产品名称、首拼、编号查询");
    m_search->setAccessibleName(hint);
    auto* hintLabel = new QLabel(hint, this);
    hintLabel->setAccessibleName(hint);
    m_list->setAccessibleName(QStringLiteral("商品列表"));
    m_list->setCheckBoxes(true);
    for (const QString& caption : {QStringLiteral("商品编号"), QStringLiteral("商品名称"),
                                   QStringLiteral("单价(￥)"), QStringLiteral("计量单位")})
        m_list->addColumn(caption, 100);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    ok->setAccessibleName(ok->text());
    cancel->setAccessibleName(cancel->text());
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(m_search, 1);
    top->addWidget(hintLabel);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);
    resize(460, 420);

    connect(ok, &QPushButton::clicked, this, &CSelPrdDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSelPrdDlg::reject);
    connect(m_search, &QLineEdit::textChanged, this, &CSelPrdDlg::fill);
    connect(m_list, &CListCtrlPlus::itemClicked, this, [this](int row, int column) {
        if (column != 0)
            m_list->setChecked(row, !m_list->isChecked(row));
    });

    fill();
    m_search->setFocus();
}

CSelPrdDlg::~CSelPrdDlg() = default;

void CSelPrdDlg::fill() {
    m_list->clear();
    for (const PickerRow& r : PickerRows(m_context, m_search->text()))
        m_list->addRow({r.code, r.name, r.price, r.unit}, r.id);
}

QList<int> CSelPrdDlg::ids() const {
    return ParsePickedIds(m_idsText);
}

void CSelPrdDlg::accept() {
    QList<int> ticked;
    for (const int row : m_list->checkedRows())
        ticked << m_list->itemData(row).toInt();
    m_idsText = PickedIdsText(ticked);
    if (m_idsText.isEmpty()) {
        ToastError(this, PickNothingText());
        return;
    }
    QDialog::accept();
}

} // namespace selvo::gui
