#include "queue/QueueMeter.h"

#include "unattended/RunMeter.h"

namespace vollum {

void QueueMeter::Hide() {
    finished_ += current_;
    current_ = 0;
    if (window_ != nullptr) window_->Hide();
}

void QueueMeter::SetBytesWritten(const std::string& text) {
    current_ = RunMeter::LeadingCount(text);
    if (window_ != nullptr) window_->SetBytesWritten(text);
    if (OnBytes) OnBytes(Bytes());
}

}  // namespace vollum
