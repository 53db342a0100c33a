#pragma once
// The client's main window: for now its body, the output pane Memo1, which
// mirrors the engine's pane line by line.
#include <QMainWindow>

class QPlainTextEdit;

namespace vollum {

class TFtpSession;

class TFTPForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TFTPForm(TFtpSession& session, QWidget* parent = nullptr);
    ~TFTPForm() override;

    // Before an unattended run: out of sight.
    void HideMinimised();

    QPlainTextEdit* Memo1;

private:
    TFtpSession& session_;
};

}  // namespace vollum
