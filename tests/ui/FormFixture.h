#pragma once
// The main window over a test engine, connected through the real setup dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "queue/TransferQueue.h"
#include "support/EventHelpers.h"
#include "support/ModalDriver.h"
#include "support/SessionFixture.h"
#include "ui/TFTPForm.h"
#include "ui/TLoginDLG.h"

namespace vollum::test {

class FormFixture : public SessionFixture {
protected:
    FormFixture() : form(*session) {}

    // Connect through the setup dialog: a new profile typed in, Auto Save on.
    void ConnectTo(const std::string& port, const std::string& user, const std::string& password,
                   const std::string& directory = "", bool tls = false) {
        WhenModal<TLoginDLG>([=](TLoginDLG* dlg) {
            dlg->Profile->setEditText("test");
            dlg->CheckBox1->setChecked(false);
            dlg->HostName->setText("127.0.0.1");
            dlg->UserName->setText(QString::fromStdString(user));
            dlg->Password->setText(QString::fromStdString(password));
            dlg->Port->setText(QString::fromStdString(port));
            dlg->Directory->setText(QString::fromStdString(directory));
            dlg->FtpTimeoutBox->setText("5");
            dlg->ConnectionTimeOutBox->setText("5");
            dlg->UseTLS->setChecked(tls);
            // Stores go under their final names, as the scripted servers expect.
            dlg->TempUpload->setChecked(false);
            dlg->OKBtn->click();
        });
        form.ConnectMNU->trigger();
    }

    // Runs the event loop until the window's transfer queue has nothing pending or running.
    bool QueueDone(int boundMs = 20000) {
        return RunEventsUntil(
            [this] {
                if (form.Queue->Running()) return false;
                for (int row = 0; row < form.Queue->Count(); ++row)
                    if (form.Queue->At(row).state == QueueState::Pending && !form.Queue->Waiting()) return false;
                return true;
            },
            boundMs);
    }

    // The log's texts without their date and time.
    std::vector<std::string> LogRecords() const {
        std::vector<std::string> records;
        const std::string text = LogText();
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            const size_t first = line.find(' ');
            const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
            records.push_back(second == std::string::npos ? line : line.substr(second + 1));
            start = end + 2;
        }
        return records;
    }

    TFTPForm form;
};

}  // namespace vollum::test
