// Shows windows with the gradient caption on a real display and saves a
// picture of the screen: the progress window, a sizeable main window, the
// same window too narrow for all its texts, and an inactive solid bar.
//   caption_sample OUT.png [DELAY_MS]
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "caption/TGradientCaption.h"
#include "ftp/TFtpSession.h"
#include "ui/QtPrompts.h"
#include "ui/TMeterDLG.h"

namespace {
QMainWindow* MainLikeWindow(const char* title, QRect geometry) {
    auto* window = new QMainWindow;
    window->setWindowTitle(title);
    for (const char* menu : {"&File", "&Commands", "&Options", "&Help"}) window->menuBar()->addMenu(menu);
    auto* pane = new QPlainTextEdit("220 FTP server ready.\nUSER anonymous\n331 Guest login ok.");
    window->setCentralWidget(pane);
    window->setGeometry(geometry);
    return window;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: caption_sample OUT.png\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);

    QMainWindow* wide = MainLikeWindow("Vollum 97", QRect(20, 20, 628, 260));
    vollum::AttachGradientCaption(wide, "Ondrel's", "Vollum -");
    wide->show();

    QMainWindow* narrow = MainLikeWindow("Vollum 97 - a long caption text", QRect(20, 330, 250, 120));
    vollum::AttachGradientCaption(narrow, "Ondrel's", "Vollum -");
    narrow->show();

    QMainWindow* inactive = MainLikeWindow("Inactive", QRect(300, 330, 300, 120));
    vollum::AttachGradientCaption(inactive, "Ondrel's", "Vollum -")->SetEnabled(vollum::geWhenActive);
    inactive->show();

    vollum::QtPrompts prompts;
    vollum::TFtpSession session(prompts);
    vollum::TMeterDLG meter(session);
    session.SetMeter(&meter);
    meter.move(680, 40);
    session.UpdateMeter(512, 1300);
    meter.activateWindow();

    const int delay = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1500;
    QTimer::singleShot(delay, [&] {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        const bool saved = shot.save(out);
        std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", argv[1]);
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
