// Opens each window of the client and of SpoolBay for real and saves a
// picture of it: the main window after a connect and a listing against a local
// pyftpdlib, then with its Remote Files panel, the setup dialog, the progress window, the four file dialogs and
// SpoolBay's window with a drive mapped.
//   vollum-screenshots OUTPUT_DIRECTORY
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "companion/TMainform.h"
#include "config/TIniFile.h"
#include "ftp/TFtpSession.h"
#include "queue/DownloadJob.h"
#include "queue/TransferQueue.h"
#include "support/ModalDriver.h"
#include "support/PyFtpServer.h"
#include "support/TempDir.h"
#include "ui/QtPrompts.h"
#include "ui/TFTPForm.h"
#include "ui/TLoginDLG.h"
#include "ui/TMeterDLG.h"
#include "ui/TransferDialogs.h"
#include "unattended/TStartup.h"

using namespace vollum;
using namespace vollum::test;

namespace {

QString outDir;

void Settle(int ms);

// Pictured as the window in use, its caption bar in the active colours.
void Save(QWidget* w, const char* name) {
    w->activateWindow();
    for (int waited = 0; !w->isActiveWindow() && waited < 2000; waited += 50) Settle(50);
    Settle(100);
    const QString path = outDir + "/" + name;
    if (!w->grab().save(path)) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    else std::printf("%s\n", qPrintable(path));
}

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <class T>
void Shoot(const char* file, const std::function<void(T*)>& fill = {}) {
    T dialog;
    if (fill) fill(&dialog);
    dialog.show();
    Settle(200);
    Save(&dialog, file);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vollum-screenshots OUTPUT_DIRECTORY\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    PyFtpServer server("demo", "demo-pass");
    WriteFile(server.Root() + "/readme.txt", "Vollum demo\r\n");
    WriteFile(server.Root() + "/report 2024.txt", std::string(4096, 'r'));
    WriteFile(server.Root() + "/random.bin", RandomBytes(300000));
    QDir().mkpath(QString::fromStdString(server.Root() + "/incoming"));
    QDir().mkpath(QString::fromStdString(server.Root() + "/photos 2024"));
    WriteFile(server.Root() + "/notes.md", "# notes\n");
    WriteFile(server.Root() + "/backup.tar.gz", RandomBytes(1800000, 3));

    TempDir program;
    {
        TIniFile ini(program / "VOLLUM.INI");
        for (const auto& [k, v] : std::vector<std::pair<const char*, std::string>>{{"HostName", "127.0.0.1"},
                                                                                   {"UserName", "demo"},
                                                                                   {"Password", "demo-pass"},
                                                                                   {"Port", server.PortText()},
                                                                                   {"Localdir", program.Path()},
                                                                                   {"Anonymous", "0"},
                                                                                   {"FtpTimeOut", "30"},
                                                                                   {"ConnectionTimeOut", "30"},
                                                                                   {"TransferType", "2"},
                                                                                   {"DisplayError", "1"},
                                                                                   {"UseLowerCase", "0"}})
            ini.WriteString("demo", k, v);
        ini.WriteString("index", "Profile0", "demo");
        ini.WriteString("index", "next", "1");
        ini.WriteString("LastUsed", "NAME", "demo");
        ini.WriteString("Fixed", "OK", "1");
        ini.WriteString("SpoolBay", "Executed", "0");
        ini.WriteString("options", "DirSep", "0");
        ini.WriteString("options", "ViewSep", "0");
        ini.WriteString("options", "Editor", "xdg-open");
        ini.WriteString("options", "ShowRemoteFiles", "0");  // first the plain window
    }

    QtPrompts prompts;
    TFtpSession session(prompts);
    TStartup startup(session, {}, program.Path());
    startup.ProgramEntry(program.Path());
    TMeterDLG meter(session);
    session.SetMeter(&meter);
    meter.FormCreate();
    TFTPForm form(session);
    startup.FormCreate();
    form.SetOptionChecks();
    form.show();
    Settle(300);

    // Connect through the setup dialog, pictured on its way.
    WhenModal<TLoginDLG>([](TLoginDLG* dlg) {
        Save(dlg, "setup.png");
        dlg->OKBtn->click();
    });
    form.ConnectMNU->trigger();

    WhenModal<QInputDialog>([](QInputDialog* dlg) { dlg->accept(); });
    form.DirMNU->trigger();
    Settle(300);
    Save(&form, "main.png");

    // Options > Show Remote Files: the folder above the transcript.
    form.ShowRemoteFilesMNU->trigger();
    form.resize(760, 560);
    Settle(300);
    Save(&form, "remote-files.png");

    // The progress window as a store shows it part-way.
    session.UpdateMeter(123904, 300000);
    meter.SetStatus("Sending file: random.bin");
    meter.SetSpeed(TransferMeter::SpeedText(1210.5));
    meter.SetTimeLeft(TransferMeter::TimeLeftText(125));
    Settle(200);
    Save(&meter, "meter.png");
    session.HideMeter();

    Shoot<TGetDLG>("get.png", [](TGetDLG* d) {
        d->FileName->setText("readme.txt");
        d->LocalName->setText("readme.txt");
    });
    Shoot<TPutDLG>("put.png", [](TPutDLG* d) {
        d->FileName->setText("/home/user/report.txt");
        d->RemoteName->setText("report.txt");
    });
    Shoot<TViewDLG>("view.png", [](TViewDLG* d) { d->FileName->setText("readme.txt"); });
    Shoot<TRenDLG>("rename.png", [](TRenDLG* d) {
        d->FileFrom->setText("readme.txt");
        d->FileTo->setText("README.TXT");
    });

    // SpoolBay as it looks once Start has mapped the drive; nothing is started.
    {
        TMainform spoolBay(prompts, program.Path() + "/", "SpoolBay", {});
        spoolBay.Edit2->setText("/home/user/spoolbay/vollum-subst");
        spoolBay.Edit1->setText("F:");
        spoolBay.Edit3->setText("/home/user/vollum");
        spoolBay.Edit4->setText("5");
        spoolBay.Edit5->setText("500");
        spoolBay.CheckBox1->setChecked(false);
        spoolBay.Watch.SetStatus("Status: Directory /home/user/vollum/COPY Substed as F:");
        spoolBay.show();
        Settle(300);
        Save(&spoolBay, "spoolbay.png");
        spoolBay.OnClosed = nullptr;
    }

    // The transfer queue below the list: a folder sent, files fetched, an
    // item that failed, and two waiting for the connection to come back.
    {
        TempDir local;
        PutFile(local / "photos/beach.jpg", RandomBytes(900000, 2));
        PutFile(local / "photos/2024/harbour.jpg", RandomBytes(600000, 3));
        PutFile(local / "notes.txt", "notes\n");
        std::vector<ListingEntry> listed, fetched;
        session.ListEntries("/", listed);
        for (const ListingEntry& e : listed)
            if (e.name == "random.bin" || e.name == "report 2024.txt") fetched.push_back(e);
        form.QueueUpload({local / "photos"}, "/incoming");
        form.QueueTransfer(std::make_unique<DownloadJob>(session, "/", fetched, local.Path(), "TYPE I"));
        form.QueueUpload({local / "gone.txt"}, "");
        for (int waited = 0; waited < 20000 && (form.Queue->Running() || form.Queue->At(form.Queue->Count() - 1).state ==
                                                                                 QueueState::Pending);
             waited += 100)
            Settle(100);
        session.Quit();
        form.QueueUpload({local / "notes.txt"}, "/incoming");
        form.QueueUpload({local / "photos/beach.jpg"}, "/");
        form.resize(760, 600);
        Settle(300);
        Save(&form, "queue.png");
    }
    return 0;
}
