#pragma once
// A session logged in to pyftpdlib, with a transfer queue over it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "ftp/TFtpSession.h"
#include "queue/TransferQueue.h"
#include "support/EventHelpers.h"
#include "support/PyFtpServer.h"
#include "support/SessionFixture.h"
#include "support/VollumRun.h"

namespace vollum::test {

class QueueFixture : public SessionFixture {
protected:
    explicit QueueFixture(const PyFtpServerOptions& options = {}) : server(options), queue(*session) {}
    void SetUp() override {
        session->Settings.TypeCommand = "TYPE I";
        session->Settings.ProgramDir = dir.Path() + "/";
        ASSERT_TRUE(LogIn());
    }
    bool LogIn() {
        if (!ConnectTo(server.Port()) || !session->WaitGreeting(false)) return false;
        session->SendLogin(server.User(), server.Password(), "");
        return session->Connected() && session->PaneReplyCode() == 230;
    }
    // Runs the event loop until the queue has nothing pending or running.
    bool RunQueue(int boundMs = 20000) {
        return RunEventsUntil(
            [this] {
                if (queue.Running()) return false;
                for (int row = 0; row < queue.Count(); ++row)
                    if (queue.At(row).state == QueueState::Pending && !queue.Waiting()) return false;
                return true;
            },
            boundMs);
    }
    QueueState StateOf(int id) const { return queue.Find(id)->state; }

    // A nested tree with binary bytes, a blank in a name, a dot-file and an empty folder.
    static void MakeNestedTree(const std::string& root) {
        PutFile(root + "/a.bin", RandomBytes(300000, 7));
        PutFile(root + "/with blank.txt", "some text\r\n");
        PutFile(root + "/.hidden", "dot");
        PutFile(root + "/sub/b.bin", RandomBytes(70000, 8));
        PutFile(root + "/sub/deeper/c.txt", "");
        std::filesystem::create_directories(root + "/empty");
    }

    PyFtpServer server;
    TempDir local;
    TransferQueue queue;
};

}  // namespace vollum::test
