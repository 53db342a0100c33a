// The window's uploads of folders: Put on a folder sends it whole, as a drop
// run would; the queue panel appears with the first queued item and its
// buttons act on the queue.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include "queue/TransferQueue.h"
#include "support/EventHelpers.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"
#include "ui/FormFixture.h"
#include "ui/QtText.h"
#include "ui/RemoteFilesModel.h"
#include "ui/RemoteFilesPanel.h"
#include "ui/TransferDialogs.h"
#include "ui/TransferQueuePanel.h"

namespace vollum::test {

namespace {

class QueueWindow : public FormFixture {
protected:
    void SetUp() override {
        PutFile(dir / "tree/a.bin", RandomBytes(200000, 3));
        PutFile(dir / "tree/sub/b.txt", "b");
        session->Settings.ShowRemoteFiles = true;
        form.show();
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
    // The pane still shows several lines.
    EXPECT_GE(form.Memo1->height(), 8 * form.Memo1->fontMetrics().lineSpacing());
    ASSERT_TRUE(RunEventsUntil([&] { return form.Queue->Find(id)->state == QueueState::Done; }, 20000));
    EXPECT_EQ(TreeListing(server.Root() + "/tree"), TreeListing(dir / "tree"));
    EXPECT_FALSE(form.QueuePanel->RetryBtn->isEnabled());
    form.QueuePanel->CancelAllBtn->click();
    EXPECT_EQ(form.Queue->Count(), 0);
}

TEST_F(QueueWindow, folderDroppedAsUriListArrivesWholeAndDownloadsBackByteForByte) {
    RemoteFilesPanel& panel = *form.RemoteFiles;
    QMimeData mime;
    mime.setData("text/uri-list", QUrl::fromLocalFile(ToQt(dir / "tree")).toEncoded() + "\r\n");
    const QPoint at(5, panel.View->viewport()->height() - 5);
    // As a drag arrives: it enters (which makes the list the drop's target), then drops.
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(panel.View->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(panel.View->viewport(), &drop);
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);  // nothing local goes away
    ASSERT_TRUE(QueueDone());
    EXPECT_EQ(TreeListing(server.Root() + "/tree"), TreeListing(dir / "tree"));
    EXPECT_EQ(TreeListing(dir / "tree").size(), 3u);  // nothing local went

    // The list shows what arrived; Ctrl+D on it fetches the tree back.
    int row = -1;
    ASSERT_TRUE(RunEventsUntil([&] {
        for (int r = 0; r < panel.Proxy->rowCount(); ++r)
            if (panel.Model->Entry(panel.Proxy->mapToSource(panel.Proxy->index(r, 0)).row()).name == "tree") row = r;
        return row >= 0;
    }));
    panel.View->setCurrentIndex(panel.Proxy->index(row, 0));
    panel.View->selectionModel()->select(panel.Proxy->index(row, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    TempDir back;
    session->Settings.Localdir = back.Path();
    panel.DownloadSelected();
    ASSERT_TRUE(QueueDone());
    EXPECT_EQ(TreeListing(back / "tree"), TreeListing(dir / "tree"));
}

}  // namespace
}  // namespace vollum::test
