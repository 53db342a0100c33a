#include "ui/TFTPForm.h"

#include <QPlainTextEdit>

#include "ftp/TFtpSession.h"

namespace vollum {

namespace {
// Reply lines keep the CR of their CR LF in the pane; the widget shows it as nothing.
QString PaneText(const std::string& line) {
    size_t n = line.size();
    while (n > 0 && line[n - 1] == '\r') --n;
    return QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(n));
}
}  // namespace

TFTPForm::TFTPForm(TFtpSession& session, QWidget* parent) : QMainWindow(parent), session_(session) {
    setObjectName("FTPForm");
    setWindowTitle("Vollum");
    resize(640, 420);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    setCentralWidget(Memo1);
    for (const std::string& line : session_.Pane().Lines()) Memo1->appendPlainText(PaneText(line));
    session_.Pane().OnLineAdded = [this](const std::string& line) { Memo1->appendPlainText(PaneText(line)); };
    session_.Pane().OnCleared = [this] { Memo1->clear(); };
}

TFTPForm::~TFTPForm() {
    session_.Pane().OnLineAdded = nullptr;
    session_.Pane().OnCleared = nullptr;
}

void TFTPForm::HideMinimised() {
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
}

}  // namespace vollum
