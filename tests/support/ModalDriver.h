#pragma once
// Drives the modal dialogs a menu command opens: the test queues what to do
// with the next dialog, then triggers the command (whose exec() blocks).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace vollum::test {

// Runs act on the next modal dialog of type T once it is shown; gives up after
// boundMs. Only within the test that asked: act may reach into that test's
// fixture, which is gone once a failed assertion has ended it early.
template <class T>
void WhenModal(std::function<void(T*)> act, int boundMs = 5000) {
    auto* timer = new QTimer;
    auto* waited = new int(0);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, act, boundMs, test] {
        *waited += 20;
        const bool sameTest = ::testing::UnitTest::GetInstance()->current_test_info() == test;
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (sameTest && (dialog == nullptr || !dialog->isVisible()) && *waited < boundMs) return;
        timer->stop();
        timer->deleteLater();
        delete waited;
        if (!sameTest) return;
        if (dialog != nullptr) act(dialog);
        // Whatever still stands after a bounded wait is closed, so no test hangs.
        else if (auto* stray = qobject_cast<QDialog*>(QApplication::activeModalWidget())) stray->reject();
    });
    timer->start();
}

}  // namespace vollum::test
