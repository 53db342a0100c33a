// One interactive session against pyftpdlib, every step through the menus and
// the real dialogs, with the transferred files compared byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRadioButton>

#include "common/Helpers.h"
#include "platform/LocalFiles.h"
#include "support/EventHelpers.h"
#include "support/PyFtpServer.h"
#include "ui/FormFixture.h"
#include "ui/TransferDialogs.h"

namespace vollum::test {

namespace {
bool PaneHas(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}
}  // namespace

class WholeSession : public FormFixture, public ::testing::WithParamInterface<bool> {};

// In plain text, and under TLS with the server's certificate trusted (and
// pinned) at the question Connect asks.
TEST_P(WholeSession, ConnectListGetPutViewRenameDeleteDirectoriesDisconnect) {
    PyFtpServerOptions options;
    options.tls = GetParam();
    PyFtpServer server(options);
    const std::string remoteBytes = RandomBytes(100000, 7);
    WriteFile(server.Root() + "/remote.bin", remoteBytes);
    WriteFile(server.Root() + "/view.txt", "hello from the server\r\nsecond line\n");
    const std::string localBytes = RandomBytes(70000, 9);
    WriteFile(dir / "up.bin", localBytes);
    // Temporary listing files go to the current directory.
    struct BackToStart {
        std::string path = CurrentDirectory();
        ~BackToStart() { ChangeDirectory(path); }
    } backToStart;
    ASSERT_TRUE(ChangeDirectory(dir.Path()));
    const std::string editor = dir / "editor.sh";
    // The copy appears under its name only once whole: the editor runs on its own.
    WriteFile(editor, "#!/bin/sh\ncp \"$1\" \"" + dir / "editing" + "\" && mv \"" + dir / "editing" + "\" \"" +
                          dir / "edited.txt" + "\"\n");
    ::chmod(editor.c_str(), 0755);
    session->Settings.DirSep = "0";
    session->Settings.ViewSep = "0";
    session->Settings.Editor = editor;

    if (GetParam()) prompts.answers = {PromptAnswer::Yes};
    ConnectTo(server.PortText(), server.User(), server.Password(), "", GetParam());
    ASSERT_TRUE(session->Connected()) << ::testing::PrintToString(PaneLines()) << ::testing::PrintToString(prompts.Texts());
    EXPECT_TRUE(PaneHas(PaneLines(), "230 "));
    if (GetParam()) {
        EXPECT_TRUE(PaneHas(PaneLines(), "PROT P"));
        EXPECT_NE(prompts.Texts().back().find(server.Fingerprint()), std::string::npos);
        EXPECT_NE(ReadFile(dir / "VOLLUM.INI").find("TLSFingerprint=" + server.Fingerprint()), std::string::npos);
    }

    // Listing into the pane, then through the editor.
    prompts.inputAnswers = {"*.*"};
    form.DirMNU->trigger();
    EXPECT_TRUE(PaneHas(PaneLines(), "remote.bin"));
    form.DirSepMNU->trigger();
    EXPECT_TRUE(form.DirSepMNU->isChecked());
    prompts.inputAnswers = {"*.*"};
    form.DirMNU->trigger();
    ASSERT_TRUE(RunEventsUntil([&] { return LocalFileExists(dir / "edited.txt"); }, 60000));
    const std::string listing = ReadFile(dir / "edited.txt");
    EXPECT_EQ(listing.compare(0, 4, "257 "), 0) << listing;
    EXPECT_NE(listing.find("\r\nLIST\r\n"), std::string::npos);
    EXPECT_NE(listing.find("view.txt"), std::string::npos);

    // A missing editor: a message, and nothing is sent.
    session->Settings.Editor = dir / "no-such-editor";
    const size_t paneBefore = PaneLines().size();
    prompts.inputAnswers = {"*.*"};
    form.DirMNU->trigger();
    EXPECT_EQ(PaneLines().size(), paneBefore);
    EXPECT_NE(prompts.Texts().back().find("cannot be started"), std::string::npos);
    form.DirSepMNU->trigger();

    WhenModal<TGetDLG>([this](TGetDLG* dlg) {
        dlg->FileName->setText("remote.bin");
        dlg->LocalName->setText(QString::fromStdString(dir / "got.bin"));
        dlg->rbBINARY->click();
        dlg->OKBtn->click();
    });
    form.GetMNU->trigger();
    EXPECT_EQ(ReadFile(dir / "got.bin"), remoteBytes);

    WhenModal<TPutDLG>([this](TPutDLG* dlg) {
        dlg->FileName->setText(QString::fromStdString(dir / "up.bin"));
        dlg->RemoteName->setText("up.bin");
        dlg->rbBINARY->click();
        dlg->OKBtn->click();
    });
    form.PutMNU->trigger();
    EXPECT_EQ(ReadFile(server.Root() + "/up.bin"), localBytes);

    WhenModal<TViewDLG>([](TViewDLG* dlg) {
        dlg->FileName->setText("view.txt");
        dlg->OKBtn->click();
    });
    form.ViewMNU->trigger();
    EXPECT_TRUE(PaneHas(PaneLines(), "hello from the server"));

    WhenModal<TRenDLG>([](TRenDLG* dlg) {
        dlg->FileFrom->setText("up.bin");
        dlg->FileTo->setText("moved.bin");
        dlg->OKBtn->click();
    });
    form.RenameMNU->trigger();
    EXPECT_EQ(ReadFile(server.Root() + "/moved.bin"), localBytes);

    prompts.inputAnswers = {"moved.bin"};
    form.DeleteMNU->trigger();
    EXPECT_FALSE(LocalFileExists(server.Root() + "/moved.bin"));
    prompts.inputAnswers = {"newdir"};
    form.MkDirMNU->trigger();
    EXPECT_TRUE(IsRealDirectory(server.Root() + "/newdir"));
    prompts.inputAnswers = {"newdir"};
    form.RmDirMNU->trigger();
    EXPECT_FALSE(LocalFileExists(server.Root() + "/newdir"));

    form.QuitMNU->trigger();
    EXPECT_FALSE(session->Connected());
    EXPECT_TRUE(form.ConnectMNU->isEnabled());
    const auto records = LogRecords();
    for (const char* record : {"LIST *.*", "Getfile ", "Putfile up.bin", "ViewFile view.txt",
                               "Rename up.binto"
                               "moved.bin",
                               "DeleteFile moved.bin", "QUIT"})
        EXPECT_NE(
            std::find_if(records.begin(), records.end(), [&](const std::string& r) { return r.rfind(record, 0) == 0; }),
            records.end())
            << record;
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, WholeSession, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Tls" : "Plain"; });

}  // namespace vollum::test
