// The engine's side of the progress window: percentage, texts, hiding, the
// Cancel button, and the pacing of the transfer loops.
#include <QCoreApplication>

#include "common/Terminate.h"
#include "ftp/TFtpSession.h"

namespace vollum {

namespace {
constexpr auto kEventInterval = std::chrono::milliseconds(20);
}

void TFtpSession::UpdateMeter(long long done, long long total) {
    MeterView* m = meter_;
    if (m == nullptr || total == 0) return;  // size not announced: no meter
    if (!m->IsVisible()) m->ShowAndRaise();
    const int old = m->Position();
    const int percent = MeterPercentage(done, total);
    if (percent != old) m->SetPosition(percent);
    if (percent != meterTitlePercent_) {
        m->SetTitle(std::to_string(percent) + "% Complete");
        meterTitlePercent_ = percent;
    }
    m->SetBytesWritten(std::to_string(done) + " of " + std::to_string(total));
    if (percent != old) m->Repaint();
}

void TFtpSession::HideMeter() {
    meterTitlePercent_ = -1;  // the next transfer writes its title afresh
    if (meter_ != nullptr) meter_->Hide();
}

void TFtpSession::MeterCancel() {
    CloseDataConnection();
    LogLine("Transfer aborted by user");
    TerminateProgram(1);
}

bool TFtpSession::MeterDue(LoopPace& pace, long long done, long long total) {
    const auto now = std::chrono::steady_clock::now();
    pace.eventsDue = now >= pace.nextEvents;
    if (pace.eventsDue) pace.nextEvents = now + kEventInterval;
    if (meter_ == nullptr || total == 0) return false;
    const int percent = MeterPercentage(done, total);
    if (percent == pace.percent && !pace.eventsDue) return false;
    pace.percent = percent;
    return true;
}

void TFtpSession::ProcessPendingEvents() { QCoreApplication::processEvents(); }

}  // namespace vollum
