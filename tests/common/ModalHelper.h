#pragma once
// Answers modal dialogs in tests: polls for the active modal widget and hands
// it to a callback, which typically clicks one of its buttons.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace ModalHelper {

// Calls act(dialog) once a modal widget is showing; gives up after timeoutMs.
inline void whenModal(std::function<void(QWidget *)> act, int timeoutMs = 5000)
{
    auto timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act, timeoutMs] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// Clicks the button named objectName in the next modal dialog.
inline void clickInModal(const QString &objectName, int timeoutMs = 5000)
{
    whenModal([objectName](QWidget *dlg) {
        if (auto *b = dlg->findChild<QAbstractButton *>(objectName))
            b->click();
        else
            dlg->close();
    }, timeoutMs);
}

} // namespace ModalHelper
