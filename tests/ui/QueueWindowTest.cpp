// The window's uploads of folders: Put on a folder sends it whole, as a drop
// run would; the queue panel appears with the first queued item and its
// buttons act on the queue.
#include <gtest/gtest.h>

#include <QDockWidget>
#include <QPushButton>
#include <QRadioButton>

#include "queue/TransferQueue.h"
#include "support/EventHelpers.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"
#include "ui/FormFixture.h"
#include "ui/TransferDialogs.h"
#include "ui/TransferQueuePanel.h"

namespace vollum::test {

namespace {

class QueueWindow : public FormFixture {
protected:
    void SetUp() override {
        PutFile(dir / "tree/a.bin", RandomBytes(200000, 3));
        PutFile(dir / "tree/sub/b.txt", "b");
        ConnectTo(server.PortText(), server.User(), server.Password());
        ASSERT_TRUE(session->Connected());
    }
    PyFtpServer server;
};

TEST_F(QueueWindow, putOnAFolderSendsItWholeUnderTheRemoteNameGiven) {
    WhenModal<TPutDLG>([this](TPutDLG* dlg) {
        dlg->FileName->setText(QString::fromStdString(dir / "tree"));
        dlg->RemoteName->setText("copy");
        dlg->rbBINARY->click();
        dlg->OKBtn->click();
    });
    form.PutMNU->trigger();
    EXPECT_EQ(TreeListing(server.Root() + "/copy"), TreeListing(dir / "tree"));
    EXPECT_TRUE(form.QueuePanel->isHidden());  // a menu command does not queue
}

TEST_F(QueueWindow, queuedUploadShowsThePanelAndRunsAndCancelAllEmptiesIt) {
    const int id = form.QueueUpload({dir / "tree"}, "");
    EXPECT_FALSE(form.QueuePanel->isHidden());
    ASSERT_TRUE(RunEventsUntil([&] { return form.Queue->Find(id)->state == QueueState::Done; }, 20000));
    EXPECT_EQ(TreeListing(server.Root() + "/tree"), TreeListing(dir / "tree"));
    EXPECT_FALSE(form.QueuePanel->RetryBtn->isEnabled());
    form.QueuePanel->CancelAllBtn->click();
    EXPECT_EQ(form.Queue->Count(), 0);
}

}  // namespace
}  // namespace vollum::test
