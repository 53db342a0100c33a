// The Remote Files panel in the main window against real servers: keys
// navigate and fetch, changes made from the window show at once, 10,000
// entries are shown and sorted within a second of their last byte, and
// vsftpd's LIST reads as pyftpdlib's MLSD does.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "queue/RemoteEdit.h"
#include "support/EventHelpers.h"
#include "support/PyFtpServer.h"
#include "support/VsftpdServer.h"
#include "ui/FormFixture.h"
#include "ui/QtText.h"
#include "ui/RemoteFilesModel.h"
#include "ui/RemoteFilesPanel.h"

namespace vollum::test {
namespace {

class RemoteFiles : public FormFixture {
protected:
    RemoteFiles() : panel(*form.RemoteFiles) {
        session->Settings.ShowRemoteFiles = true;
        form.show();
    }
    // Connected through the setup dialog, downloads going to `local`.
    void Connect(const std::string& port, const std::string& user, const std::string& password) {
        ConnectTo(port, user, password);
        session->Settings.Localdir = local.Path();  // the dialog set the profile's
    }
    // The entries' names in the order shown.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int row = 0; row < panel.Proxy->rowCount(); ++row) names.push_back(Entry(row).name);
        return names;
    }
    const ListingEntry& Entry(int proxyRow) const {
        return panel.Model->Entry(panel.Proxy->mapToSource(panel.Proxy->index(proxyRow, 0)).row());
    }
    QModelIndex Row(const std::string& name) const {
        for (int row = 0; row < panel.Proxy->rowCount(); ++row)
            if (Entry(row).name == name) return panel.Proxy->index(row, 0);
        ADD_FAILURE() << "no entry " << name;
        return {};
    }
    void Select(std::initializer_list<std::string> names) {
        panel.View->setCurrentIndex(Row(*names.begin()));
        for (const std::string& name : names)
            panel.View->selectionModel()->select(Row(name), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(panel.View, static_cast<Qt::Key>(key), modifiers);
    }
    bool PaneHas(const std::string& line) const {
        const auto lines = PaneLines();
        return std::find(lines.begin(), lines.end(), line + "\r") != lines.end();
    }

    RemoteFilesPanel& panel;
    TempDir local;
};

TEST_F(RemoteFiles, enterOpensFoldersAndFetchesFilesBackspaceGoesUp) {
    PyFtpServer server;
    const std::string bytes = RandomBytes(300000, 4);
    PutFile(server.Root() + "/sub/inner.bin", bytes);
    WriteFile(server.Root() + "/top.txt", "top");
    Connect(server.PortText(), server.User(), server.Password());
    ASSERT_TRUE(panel.isVisible());
    EXPECT_EQ(form.focusWidget(), panel.View);
    EXPECT_TRUE(PaneHas("MLSD"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "top.txt"}));
    EXPECT_EQ(panel.PathField->text(), "/");

    Select({"sub"});
    Press(Qt::Key_Return);
    EXPECT_EQ(Names(), std::vector<std::string>{"inner.bin"});
    EXPECT_EQ(panel.PathField->text(), "/sub");
    Press(Qt::Key_Return);  // the one entry is current
    ASSERT_TRUE(QueueDone());
    EXPECT_TRUE(ReadFile(local / "inner.bin") == bytes);
    Press(Qt::Key_Backspace);
    EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "top.txt"}));
    EXPECT_EQ(panel.PathField->text(), "/");

    // Files dragged in from a file manager are asked to go to the folder
    // shown, or to the folder they were dropped onto.
    QSignalSpy uploads(&panel, &RemoteFilesPanel::uploadRequested);
    const auto drop = [&](const QPoint& at) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(ToQt(local / "a b.txt")), QUrl::fromLocalFile(ToQt(local / "tree"))});
        // A drop goes to the widget that accepted the drag's entry.
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel.View->viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel.View->viewport(), &event);
        EXPECT_EQ(event.dropAction(), Qt::CopyAction);  // nothing local goes away
    };
    drop(panel.View->visualRect(Row("sub")).center());
    drop(QPoint(5, panel.View->viewport()->height() - 5));
    ASSERT_EQ(uploads.count(), 2);
    EXPECT_EQ(uploads[0][0].toStringList(), (QStringList{ToQt(local / "a b.txt"), ToQt(local / "tree")}));
    EXPECT_EQ(uploads[0][1].toByteArray(), "/sub");
    EXPECT_EQ(uploads[1][1].toByteArray(), "/");

    form.QuitMNU->trigger();
    EXPECT_FALSE(panel.isVisible());
}

TEST_F(RemoteFiles, aRefusedLoginListsNothingAndSaysWhy) {
    PyFtpServer server;
    WriteFile(server.Root() + "/top.txt", "top");
    Connect(server.PortText(), server.User(), "wrong");
    ASSERT_TRUE(panel.isVisible());
    EXPECT_TRUE(PaneHas(kLoginRefused));
    EXPECT_FALSE(PaneHas("FEAT"));
    EXPECT_TRUE(Names().empty());
    EXPECT_EQ(panel.PathField->placeholderText().toStdString(), kLoginRefused);
}

TEST_F(RemoteFiles, renameDeleteAndMenuCommandsShowInTheListAtOnce) {
    PyFtpServer server;
    for (const char* name : {"top.txt", "a.txt", "b.txt", "c.txt"}) WriteFile(server.Root() + "/" + name, name);
    Connect(server.PortText(), server.User(), server.Password());

    Select({"top.txt"});
    prompts.inputAnswers = {"renamed.txt"};
    Press(Qt::Key_F2);
    EXPECT_TRUE(PaneHas("RNFR top.txt"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "renamed.txt"}));

    Select({"a.txt", "b.txt"});
    const size_t asked = prompts.shown.size();
    prompts.answers = {PromptAnswer::Yes};
    Press(Qt::Key_Delete);
    ASSERT_EQ(prompts.shown.size(), asked + 1);
    EXPECT_EQ(prompts.shown.back().text, "Delete these 2 items from the server?");
    EXPECT_EQ(Names(), (std::vector<std::string>{"c.txt", "renamed.txt"}));
    EXPECT_FALSE(std::filesystem::exists(server.Root() + "/a.txt"));

    prompts.inputAnswers = {"made"};
    form.MkDirMNU->trigger();
    EXPECT_EQ(Names(), (std::vector<std::string>{"made", "c.txt", "renamed.txt"}));
    EXPECT_EQ(LogRecords().back(), "MakeDir made");
}

TEST_F(RemoteFiles, tenThousandEntriesAreShownAndSortedWithinASecondOfTheirLastByte) {
    PyFtpServer server;
    for (int i = 0; i < 10000; ++i) WriteFile(server.Root() + "/file" + std::to_string(i), std::string(i % 97, 'x'));
    std::filesystem::create_directory(server.Root() + "/zzz folder");
    Connect(server.PortText(), server.User(), server.Password());
    ASSERT_EQ(panel.Proxy->rowCount(), 10001);

    // The listing's end is the 226 that follows its last byte. The second
    // is counted in processor time, which other work on a loaded machine
    // does not stretch; the clock gets a generous bound.
    QElapsedTimer sinceLastByte;
    long cpuAtLastByte = 0;
    auto shown = session->Pane().OnLineAdded;
    session->Pane().OnLineAdded = [&](const std::string& line) {
        if (line.compare(0, 4, "226 ") == 0) {
            sinceLastByte.start();
            cpuAtLastByte = CpuMillis();
        }
        shown(line);
    };
    Press(Qt::Key_F5);
    QCoreApplication::processEvents();  // painted
    ASSERT_TRUE(sinceLastByte.isValid());
    EXPECT_LT(CpuMillis() - cpuAtLastByte, 1000);
    EXPECT_LT(sinceLastByte.elapsed(), 5000);
    session->Pane().OnLineAdded = shown;

    QElapsedTimer sorting;
    sorting.start();
    const long cpuBeforeSort = CpuMillis();
    panel.View->header()->setSortIndicator(RemoteFilesModel::SizeColumn, Qt::DescendingOrder);
    QCoreApplication::processEvents();
    EXPECT_LT(CpuMillis() - cpuBeforeSort, 1000);
    EXPECT_LT(sorting.elapsed(), 5000);
    EXPECT_EQ(Entry(0).name, "zzz folder");  // folders first either way
    EXPECT_EQ(Entry(1).size, 96u);
}

TEST_F(RemoteFiles, vsftpdListsByListAndNamesThatAreNotUtf8KeepTheirBytes) {
    VsftpdServer server;
    if (!server.Problem().empty()) GTEST_SKIP() << server.Problem();
    const std::string name = "caf\xe9 menu.txt";
    WriteFile(server.Root() + "/" + name, "bytes of a Latin-1 name");
    std::filesystem::create_directory(server.Root() + "/pub");
    Connect(server.PortText(), "anonymous", "");
    EXPECT_TRUE(PaneHas("LIST"));
    EXPECT_FALSE(PaneHas("MLSD"));
    ASSERT_EQ(Names(), (std::vector<std::string>{"pub", "up", name}));
    EXPECT_TRUE(Entry(0).IsFolder());
    EXPECT_EQ(Entry(2).size, 23u);
    EXPECT_TRUE(Entry(2).modified.has_value());
    const QString shownName = panel.Proxy->index(2, RemoteFilesModel::NameColumn).data().toString();
    EXPECT_EQ(shownName, QString("caf") + QChar(0xFFFD) + " menu.txt");

    Select({name});
    Press(Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(QueueDone());
    EXPECT_EQ(ReadFile(local / name), "bytes of a Latin-1 name");

    // Edit: the editor gets a path it can open (a path goes to it as text),
    // and the saved file goes back under the server's own bytes.
    const std::string upFile = server.UploadDir() + "/" + name;
    WriteFile(upFile, "first");
    const passwd* ftp = ::getpwnam("ftp");
    ASSERT_NE(ftp, nullptr);
    ASSERT_EQ(::chown(upFile.c_str(), ftp->pw_uid, ftp->pw_gid), 0);
    std::string opened;
    form.Edits->OpenFile = [&opened](const std::string& path) { opened = path; };
    Select({"up"});
    Press(Qt::Key_Return);
    Select({name});
    emit panel.editRequested(Entry(panel.View->currentIndex().row()));
    ASSERT_TRUE(QueueDone());
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(FromQt(ToQt(opened)), opened);
    EXPECT_EQ(ReadFile(opened), "first");
    WriteFile(opened, "second");
    prompts.answers = {PromptAnswer::Yes};
    form.Edits->CheckFiles();
    ASSERT_TRUE(QueueDone());
    EXPECT_EQ(ReadFile(upFile), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(server.UploadDir()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace vollum::test
