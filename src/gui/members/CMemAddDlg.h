#pragma once

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class PhotoFrame;

// "添加会员" / "修改会员信息": registers a member (ID -1) or changes one member's personal data.
// After Accepted, memberId() is the saved member's ID. Never changes balance, points or spending.
class CMemAddDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMemAddDlg)

public:
    CMemAddDlg(AppContext& ctx, const QString& dataFolder, int memberId, QWidget* parent = nullptr);
    ~CMemAddDlg() override;

    int memberId() const { return m_memberId; }

    // "确定": checks and saves; stays open with the focus on the field at fault.
    void accept() override;

    // What "拍照" does once the camera dialog has left its picture.
    void photoTaken();
    // The picture the frame shows: the new one, else the stored one; empty for none.
    QString shownPhoto() const;

    QLineEdit* mobileEdit() const { return m_mobile; }
    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* initialsEdit() const { return m_initials; }
    QLineEdit* idCardEdit() const { return m_idCard; }
    QLineEdit* cardNumberEdit() const { return m_code; }
    QComboBox* stateBox() const { return m_state; }
    QDateEdit* birthdayEdit() const { return m_birthday; }
    QRadioButton* maleRadio() const { return m_male; }
    QRadioButton* femaleRadio() const { return m_female; }
    QRadioButton* solarRadio() const { return m_solar; }
    QRadioButton* lunarRadio() const { return m_lunar; }
    QLineEdit* balanceEdit() const { return m_balance; }
    QLineEdit* pointsEdit() const { return m_points; }
    QLineEdit* cumulativeEdit() const { return m_cumulative; }
    QPlainTextEdit* remarkEdit() const { return m_remark; }
    QPushButton* photoButton() const { return m_photoButton; }
    QPushButton* okButton() const { return m_ok; }

private:
    void load();
    void takePhoto();

    AppContext& m_ctx;
    QString m_dataFolder;
    int m_memberId;
    QString m_storedPhoto; // the photo column as read
    QString m_newPhoto;    // the camera's picture, once taken

    QLabel* m_codeLabel;
    QLineEdit* m_code;
    QLineEdit* m_mobile;
    QLineEdit* m_name;
    QLineEdit* m_initials;
    QComboBox* m_state;
    QDateEdit* m_birthday;
    QRadioButton* m_solar;
    QRadioButton* m_lunar;
    QButtonGroup* m_calendar;
    QRadioButton* m_male;
    QRadioButton* m_female;
    QButtonGroup* m_sex;
    QLineEdit* m_idCard;
    QLineEdit* m_qq;
    QLineEdit* m_email;
    QLineEdit* m_balance;
    QLineEdit* m_points;
    QLineEdit* m_cumulative;
    QPlainTextEdit* m_remark;
    PhotoFrame* m_photo;
    QPushButton* m_photoButton;
    QPushButton* m_ok;
};

} // namespace selvo::gui
