#pragma once
// The application object of a run with a display. Failures the system raises
// inside an event handler are shown in an error box, and the event loop goes on.
#include <QApplication>

namespace vollum {

class UserPrompts;

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
    UserPrompts* Prompts = nullptr;
};

}  // namespace vollum
