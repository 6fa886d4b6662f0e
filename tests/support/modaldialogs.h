#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Answers a modal dialog that the code under test is about to run with
// exec(): as soon as a modal widget other than `except` is active, answer is
// called with it (and must close it). Call it before the action that opens
// the dialog; chain a second call inside answer for a dialog that follows.
// Gives up after a minute (a loaded machine can be slow to open a first file dialog), so a dialog that never comes fails the test's
// own checks instead of hanging it. Header-only: it needs QtWidgets, which
// only the desktop tests link.
namespace ModalDialogs {

inline void answer(std::function<void(QWidget *)> answer, QWidget *except = nullptr)
{
    auto *timer = new QTimer(qApp);
    QPointer<QWidget> skipped(except);
    auto tries = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer, skipped, except, tries] {
        QWidget *modal = QApplication::activeModalWidget();
        const bool stale = modal && modal == except && skipped;
        if ((!modal || stale) && ++*tries < 6000)
            return;
        timer->stop();
        timer->deleteLater();
        if (modal && !stale)
            answer(modal);
    });
    timer->start();
}

}
