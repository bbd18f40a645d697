#include "gui/widgets/CEditPlus.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>

using namespace selvo::gui;

namespace {
const QString kHint = QStringLiteral("输入会员卡号/手机/姓名");

// A search box and a second field to move the focus to.
struct Form {
    QWidget window;
    CEditPlus* edit = new CEditPlus(&window);
    QLineEdit* other = new QLineEdit(&window);
    Form() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        layout->addWidget(other);
        edit->setPlaceholder(kHint);
        window.show();
        window.activateWindow();
        other->setFocus();
    }
};
} // namespace

class TestEditPlus final : public QObject {
    Q_OBJECT

private slots:
    void hintGoesOnFocusAndComesBackWhenBlank() {
        Form form;
        QVERIFY(QTest::qWaitForWindowActive(&form.window));
        QCOMPARE(form.edit->text(), kHint);
        QVERIFY(form.edit->showsPlaceholder());
        QCOMPARE(form.edit->value(), QString());
        QCOMPARE(form.edit->textColor(), QColor(0x7E, 0x7E, 0x7E));
        QCOMPARE(form.edit->palette().color(QPalette::Text), QColor(0x7E, 0x7E, 0x7E));
        QCOMPARE(form.edit->accessibleName(), kHint);

        form.edit->setFocus();
        QCOMPARE(form.edit->text(), QString());
        QTest::keyClicks(form.edit, QStringLiteral("138"));
        QCOMPARE(form.edit->value(), QStringLiteral("138"));
        QCOMPARE(form.edit->textColor(), QColor(Qt::black));
        form.other->setFocus();
        QCOMPARE(form.edit->text(), QStringLiteral("138")); // typed text stays

        form.edit->setFocus();
        form.edit->selectAll();
        QTest::keyClicks(form.edit, QStringLiteral("   "));
        form.other->setFocus();
        QCOMPARE(form.edit->text(), kHint); // blank counts as empty
    }

    void typingTheHintItselfCountsAsEmpty() {
        Form form;
        QVERIFY(QTest::qWaitForWindowActive(&form.window));
        form.edit->setFocus();
        form.edit->insert(QStringLiteral(" ") + kHint +
                          QStringLiteral(" ")); // as typed through an input method
        QVERIFY(form.edit->showsPlaceholder());
        QCOMPARE(form.edit->textColor(), QColor(0x7E, 0x7E, 0x7E));
        QCOMPARE(form.edit->value(), QString());
        form.other->setFocus();
        form.edit->setFocus();
        QCOMPARE(form.edit->text(), QString());
    }

    void selectAllOnFocusSurvivesTheClick() {
        Form form;
        QVERIFY(QTest::qWaitForWindowActive(&form.window));
        form.edit->setSelectAllOnFocus(true);
        form.edit->setText(QStringLiteral("张三"));
        QTest::mouseClick(form.edit, Qt::LeftButton, {}, QPoint(5, form.edit->height() / 2));
        QTRY_COMPARE(form.edit->selectedText(), QStringLiteral("张三"));

        // Without the flag a click only places the cursor.
        form.other->setFocus();
        form.edit->setSelectAllOnFocus(false);
        QTest::mouseClick(form.edit, Qt::LeftButton, {}, QPoint(5, form.edit->height() / 2));
        QTest::qWait(20);
        QCOMPARE(form.edit->selectedText(), QString());
    }

    void typedTextIsKeptWhenTheHintIsSetLater() {
        CEditPlus edit;
        edit.setText(QStringLiteral("13800001111"));
        edit.setPlaceholder(kHint);
        QCOMPARE(edit.text(), QStringLiteral("13800001111"));
        edit.clear();
        edit.setPlaceholder(QStringLiteral("输入商品名称"));
        QCOMPARE(edit.text(), QStringLiteral("输入商品名称"));
    }
};

QTEST_MAIN(TestEditPlus)
#include "tst_editplus.moc"
