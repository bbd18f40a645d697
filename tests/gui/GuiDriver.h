#pragma once

// Small helpers for driving real dialogs in offscreen GUI tests.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace selvo::test {

// The child whose accessible name (its caption) is `name`.
template <class T> T* Find(const QWidget* root, const QString& name) {
    const QList<T*> all = root->findChildren<T*>();
    for (T* w : all) {
        if (w->accessibleName() == name)
            return w;
    }
    return nullptr;
}

inline void Click(const QWidget* root, const QString& caption) {
    if (auto* button = Find<QAbstractButton>(root, caption))
        button->click();
}

// Runs `action` on the next modal dialog as soon as it is open (its exec() is running), from
// inside that dialog's event loop. The action must close the dialog.
inline void OnNextModal(std::function<void(QDialog*)> action, const QWidget* notThis = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action = std::move(action), notThis] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg || dlg == notThis || !dlg->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(dlg);
    });
    timer->start();
}

// OnNextModal for a dialog of class D; any other dialog is rejected. `shown` turns true when
// the action ran, so a test can check the dialog really came up.
template <class D> void OnNextModalOf(std::function<void(D*)> action, bool* shown = nullptr) {
    OnNextModal([action = std::move(action), shown](QDialog* dlg) {
        auto* typed = qobject_cast<D*>(dlg);
        if (!typed) {
            dlg->reject();
            return;
        }
        if (shown)
            *shown = true;
        action(typed);
    });
}

// Runs `open` and reports whether a modal dialog of class D came up; `look` sees it before it is
// closed again.
template <class D> bool OpensModalOf(const std::function<void()>& open, std::function<void(D*)> look = {}) {
    bool shown = false;
    OnNextModalOf<D>(
        [look = std::move(look)](D* dlg) {
            if (look)
                look(dlg);
            dlg->reject();
        },
        &shown);
    open();
    // Nothing modal came up: let the waiting timer look once more, then stop it by a dummy dialog.
    if (!shown) {
        QTest::qWait(50);
        QDialog dummy;
        QTimer::singleShot(100, &dummy, &QDialog::reject);
        dummy.exec();
    }
    return shown;
}

// The visible top-level widgets of a class (dialogs open at the moment).
template <class T> int CountVisible() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<T*>(w) && w->isVisible())
            ++n;
    }
    return n;
}

} // namespace selvo::test
