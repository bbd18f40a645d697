// A form with two fields and a toast over the first one, for checking on a real X server that a
// toast lets clicks and keys through (scripts/toast-input-check.sh drives it with xdotool).
// Prints "click X Y" (the first field's centre, under the toast) once the toast is up, then after
// the given seconds "first=… second=… focus=… toast=…" and exits 0 when the click reached the
// first field, the typed text landed in it and the toast was still shown.
//   selvo_toast_probe [SECONDS]

#include "gui/app/Toast.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>

using namespace selvo::gui;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 4;
    QDialog form;
    form.setWindowTitle(QStringLiteral("toast probe"));
    auto* first = new QLineEdit(&form);
    auto* second = new QLineEdit(&form);
    first->setObjectName(QStringLiteral("first"));
    second->setObjectName(QStringLiteral("second"));
    auto* layout = new QVBoxLayout(&form);
    // The first field in the middle, where the toast is shown.
    layout->addStretch(1);
    layout->addWidget(first);
    layout->addStretch(1);
    layout->addWidget(second);
    form.setGeometry(200, 150, 420, 220);
    form.show();
    form.activateWindow();
    second->setFocus();

    QPointer<CToastDlg> toast;
    bool covered = false;
    QTimer::singleShot(800, &form, [&] {
        form.activateWindow();
        second->setFocus();
        toast =
            ShowToast(QStringLiteral("请选择会员\r\n或设置为散客消费！"), kToastRed, seconds + 2, 0, first);
        // SELVO_PROBE_OPAQUE=1 takes the toast's transparency away: the check must then fail.
        if (qEnvironmentVariableIntValue("SELVO_PROBE_OPAQUE") == 1)
            toast->windowHandle()->setFlags(toast->windowHandle()->flags() & ~Qt::WindowTransparentForInput);
        const QPoint centre = first->mapToGlobal(first->rect().center());
        covered = toast->frameGeometry().contains(centre);
        std::printf("click %d %d\n", centre.x(), centre.y());
        std::fflush(stdout);
    });
    QTimer::singleShot(800 + seconds * 1000, &form, [&] {
        QWidget* focus = QApplication::focusWidget();
        const bool shown = toast && toast->isVisible();
        std::printf("first=%s second=%s focus=%s toast=%d covered=%d\n", qPrintable(first->text()),
                    qPrintable(second->text()), focus ? qPrintable(focus->objectName()) : "none", int(shown),
                    int(covered));
        std::fflush(stdout);
        const bool through = covered && shown && focus == first && first->text() == QStringLiteral("138") &&
                             second->text().isEmpty();
        QCoreApplication::exit(through ? 0 : 1);
    });
    return app.exec();
}
