#pragma once
// The progress window: bar, percentage in the title, bytes done of the total,
// status, speed and time left, and a Cancel (ends an unattended run, stops a user's transfer).
#include <QDialog>
#include <functional>
#include <string>

#include "ftp/MeterView.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vollum {

class TFtpSession;
class TGradientCaption;

class TMeterDLG : public QDialog, public MeterView {
    Q_OBJECT
public:
    explicit TMeterDLG(TFtpSession& session, QWidget* parent = nullptr);

    // OnCreate: hidden when a server is configured; a new store is no re-run.
    void FormCreate();

    // Set once the window is a user's: Cancel then stops the transfer and the
    // session goes on. Unset (the unattended runs), Cancel ends the program.
    std::function<void()> OnCancel;

    // MeterView.
    bool IsVisible() const override;
    void ShowAndRaise() override;
    void Hide() override;
    void SetPosition(int percent) override;
    void SetTitle(const std::string& text) override;
    void SetBytesWritten(const std::string& text) override;
    void SetStatus(const std::string& text) override;
    void SetSpeed(const std::string& text) override;
    void SetTimeLeft(const std::string& text) override;
    void Repaint() override;

    QProgressBar* Gauge1;
    QLabel* Label1;
    QLabel* StatusLabel;
    QLabel* Label2;
    QLabel* BytesWritt;
    QLabel* Label3;
    QPushButton* Button1;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    TGradientCaption* GradientCaption1;

private slots:
    void Button1Click();

protected:
    // Escape does nothing: Cancel is the only control. The window manager may still close it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* MakeLabel(const char* name, int left, int top, const char* caption);
    void SetLabel(QLabel* label, const std::string& text);

    TFtpSession& session_;
    bool placed_ = false;
};

}  // namespace vollum
