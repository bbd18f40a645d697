#include "gui/members/CMemAddDlg.h"

#include "core/members/Member.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "core/support/Pinyin.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"
#include "gui/camera/CTestDlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
// The earliest date doubles as "no birthday": a member whose birthday was never filled in keeps
// none when other data is edited.
const QDate kNoBirthday(1900, 1, 1);
} // namespace

// The photo frame: the picture stretched over the inside of the frame, loaded from its file at
// each repaint (it may change on disk while the dialog is open).
class PhotoFrame final : public QGroupBox {
public:
    explicit PhotoFrame(QWidget* parent) : QGroupBox(parent) {
        setAccessibleName(QStringLiteral("照片"));
        setMinimumSize(160, 200);
    }
    void setFile(const QString& file) {
        m_file = file;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QGroupBox::paintEvent(event);
        if (m_file.isEmpty())
            return;
        QImageReader reader(m_file);
        const QImage image = reader.read();
        if (image.isNull())
            return; // not a picture: nothing is drawn
        QPainter p(this);
        p.drawImage(rect().adjusted(8, 12, -8, -8), image);
    }

private:
    QString m_file;
};

CMemAddDlg::CMemAddDlg(AppContext& ctx, const QString& dataFolder, int memberId, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_dataFolder(dataFolder), m_memberId(memberId),
      m_codeLabel(new QLabel(QStringLiteral("会员卡号："), this)),
      m_code(Named(new QLineEdit(this), QStringLiteral("会员卡号："))),
      m_mobile(Named(new QLineEdit(this), QStringLiteral("(必填)手机："))),
      m_name(Named(new QLineEdit(this), QStringLiteral("姓名："))),
      m_initials(Named(new QLineEdit(this), QStringLiteral("拼音码："))),
      m_state(Named(new QComboBox(this), QStringLiteral("用户状态："))),
      m_birthday(Named(new QDateEdit(this), QStringLiteral("生日："))),
      m_solar(Named(new QRadioButton(QStringLiteral("公历"), this), QStringLiteral("公历"))),
      m_lunar(Named(new QRadioButton(QStringLiteral("农历"), this), QStringLiteral("农历"))),
      m_calendar(new QButtonGroup(this)),
      m_male(Named(new QRadioButton(QStringLiteral("男"), this), QStringLiteral("男"))),
      m_female(Named(new QRadioButton(QStringLiteral("女"), this), QStringLiteral("女"))),
      m_sex(new QButtonGroup(this)), m_idCard(Named(new QLineEdit(this), QStringLiteral("身份证："))),
      m_qq(Named(new QLineEdit(this), QStringLiteral("QQ："))),
      m_email(Named(new QLineEdit(this), QStringLiteral("邮箱："))),
      m_balance(Named(new QLineEdit(this), QStringLiteral("余额："))),
      m_points(Named(new QLineEdit(this), QStringLiteral("积分："))),
      m_cumulative(Named(new QLineEdit(this), QStringLiteral("累计消费："))),
      m_remark(Named(new QPlainTextEdit(this), QStringLiteral("备注："))), m_photo(new PhotoFrame(this)),
      m_photoButton(Named(new QPushButton(QStringLiteral("拍照"), this), QStringLiteral("拍照"))),
      m_ok(nullptr) {
    // Card numbers are not typed here: the field is kept (and written back) but never shown.
    m_codeLabel->hide();
    m_code->hide();
    m_code->setEnabled(false);
    for (QLineEdit* e : {m_initials, m_balance, m_points, m_cumulative})
        e->setReadOnly(true);
    m_calendar->addButton(m_solar);
    m_calendar->addButton(m_lunar);
    m_sex->addButton(m_male);
    m_sex->addButton(m_female);
    m_birthday->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_birthday->setCalendarPopup(true);
    m_birthday->setMinimumDate(kNoBirthday);
    m_birthday->setSpecialValueText(QStringLiteral("未填写"));
    m_birthday->setDate(Clock::instance().now().date());

    // 1. The states, unsorted, "正常" selected.
    for (int state : {int(MemberNormal), int(MemberLocked), int(MemberLost)})
        m_state->addItem(MemberStateText(state), state);
    m_state->setCurrentIndex(0);

    auto* grid = new QGridLayout;
    int row = 0;
    const auto add = [&](const QString& caption, QWidget* field, int column = 0) {
        grid->addWidget(new QLabel(caption, this), row, column);
        grid->addWidget(field, row, column + 1);
    };
    grid->addWidget(m_codeLabel, row, 0);
    grid->addWidget(m_code, row, 1);
    ++row;
    add(QStringLiteral("(必填)手机："), m_mobile);
    add(QStringLiteral("用户状态："), m_state, 2);
    ++row;
    add(QStringLiteral("姓名："), m_name);
    add(QStringLiteral("拼音码："), m_initials, 2);
    ++row;
    auto* sexBox = new QWidget(this);
    auto* sexLayout = new QHBoxLayout(sexBox);
    sexLayout->setContentsMargins(0, 0, 0, 0);
    sexLayout->addWidget(m_male);
    sexLayout->addWidget(m_female);
    add(QStringLiteral("性别："), sexBox);
    auto* birthBox = new QWidget(this);
    auto* birthLayout = new QHBoxLayout(birthBox);
    birthLayout->setContentsMargins(0, 0, 0, 0);
    birthLayout->addWidget(m_birthday);
    birthLayout->addWidget(m_solar);
    birthLayout->addWidget(m_lunar);
    add(QStringLiteral("生日："), birthBox, 2);
    ++row;
    add(QStringLiteral("身份证："), m_idCard);
    add(QStringLiteral("QQ："), m_qq, 2);
    ++row;
    add(QStringLiteral("邮箱："), m_email);
    add(QStringLiteral("余额："), m_balance, 2);
    ++row;
    add(QStringLiteral("积分："), m_points);
    add(QStringLiteral("累计消费："), m_cumulative, 2);
    ++row;
    grid->addWidget(new QLabel(QStringLiteral("备注："), this), row, 0, Qt::AlignTop);
    grid->addWidget(m_remark, row, 1, 1, 3);
    m_remark->setFixedHeight(70);

    auto* photoColumn = new QVBoxLayout;
    photoColumn->addWidget(m_photo, 1);
    photoColumn->addWidget(m_photoButton);
    auto* body = new QHBoxLayout;
    body->addLayout(grid, 1);
    body->addLayout(photoColumn);

    QDialogButtonBox* buttons = OkCancelButtons(this);
    for (QAbstractButton* b : buttons->buttons())
        if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
            m_ok = qobject_cast<QPushButton*>(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(buttons);

    // The initials follow the name at each keystroke.
    connect(m_name, &QLineEdit::textChanged, this,
            [this](const QString& name) { m_initials->setText(GetFirstSpell(name)); });
    connect(m_photoButton, &QPushButton::clicked, this, &CMemAddDlg::takePhoto);

    if (m_memberId == -1) {
        setWindowTitle(QStringLiteral("添加会员"));
        m_points->setText(QStringLiteral("0"));
        m_cumulative->setText(FormatMoney(0));
        m_balance->setText(FormatMoney(0));
        m_male->setChecked(true);
        m_solar->setChecked(true);
    } else {
        setWindowTitle(QStringLiteral("修改会员信息"));
        load();
    }
    setAccessibleName(windowTitle());
    m_mobile->setFocus();
}

CMemAddDlg::~CMemAddDlg() = default;

void CMemAddDlg::load() {
    const auto m = ReadMember(m_ctx, m_memberId);
    if (!m) {
        Messages::inform(this, QStringLiteral("无法读取会员信息"));
        // Saving the empty screen would wipe the member's data: only Cancel is left.
        if (m_ok)
            m_ok->setEnabled(false);
        return;
    }
    // The name first: its initials are then replaced by the stored ones.
    if (m->trueName)
        m_name->setText(*m->trueName);
    if (m->firstSpell)
        m_initials->setText(*m->firstSpell);
    if (m->mobilePhone)
        m_mobile->setText(*m->mobilePhone);
    if (m->memberCode)
        m_code->setText(*m->memberCode);
    m_birthday->setDate(m->birthDay.isValid() ? m->birthDay.date() : kNoBirthday);
    if (m->qq)
        m_qq->setText(*m->qq);
    if (m->email)
        m_email->setText(*m->email);
    m_points->setText(QString::number(m->integral.value_or(0)));
    m_cumulative->setText(FormatMoney(m->cumulative.value_or(0)));
    m_balance->setText(FormatMoney(m->balance.value_or(0)));
    if (m->remark)
        m_remark->setPlainText(*m->remark);
    (m->sex.value_or(false) ? m_male : m_female)->setChecked(true);
    (m->isLuner.value_or(false) ? m_lunar : m_solar)->setChecked(true);
    if (m->idCard)
        m_idCard->setText(*m->idCard);
    if (m->userState) {
        const int index = m_state->findData(*m->userState);
        if (index >= 0)
            m_state->setCurrentIndex(index);
    }
    m_storedPhoto = m->photo.value_or(QString());
    m_photo->setFile(shownPhoto());
}

QString CMemAddDlg::shownPhoto() const {
    if (!m_newPhoto.isEmpty())
        return m_newPhoto;
    return ResolvePhotoPath(m_dataFolder, m_storedPhoto);
}

void CMemAddDlg::takePhoto() {
    EnsurePhotoFolders(m_dataFolder);
    CTestDlg camera(PhotoTempFile(m_dataFolder), this);
    if (camera.exec() == QDialog::Accepted)
        photoTaken();
}

void CMemAddDlg::photoTaken() {
    m_newPhoto = PhotoTempFile(m_dataFolder);
    m_photo->setFile(shownPhoto());
}

void CMemAddDlg::accept() {
    MemberForm form;
    form.id = m_memberId;
    form.memberCode = m_code->text();
    form.trueName = m_name->text();
    form.firstSpell = m_initials->text();
    form.mobilePhone = m_mobile->text();
    form.qq = m_qq->text();
    form.email = m_email->text();
    form.idCard = m_idCard->text();
    form.remark = m_remark->toPlainText();
    form.male = m_male->isChecked();
    form.lunar = m_lunar->isChecked();
    if (m_birthday->date() != kNoBirthday)
        form.birthDay = QDateTime(m_birthday->date(), QTime(0, 0));
    form.userState = m_state->currentData().toInt();

    const MemberSaveResult saved = SaveMember(m_ctx, form, m_dataFolder, m_newPhoto);
    if (!saved.ok) {
        QLineEdit* field = nullptr;
        switch (saved.field) {
        case MemberField::Mobile:
            field = m_mobile;
            break;
        case MemberField::IdCard:
            field = m_idCard;
            break;
        case MemberField::MemberCode:
            field = m_code;
            break;
        case MemberField::None:
            break;
        }
        if (!field) {
            Messages::warn(this, saved.message);
            return;
        }
        ToastError(this, saved.message);
        field->setFocus();
        if (!field->text().trimmed().isEmpty())
            field->selectAll();
        return;
    }
    m_memberId = saved.id;
    if (!saved.warning.isEmpty())
        ToastError(parentWidget() ? parentWidget() : this, saved.warning);
    QDialog::accept();
}

} // namespace selvo::gui
