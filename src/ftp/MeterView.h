#pragma once
// What the engine needs of the progress window; the window (ui/), a console
// line (headless runs) and tests implement it. TransferMeter calls a setter
// only with a text that differs from the last one it handed over.
#include <algorithm>
#include <string>

namespace vollum {

class MeterView {
public:
    virtual ~MeterView() = default;
    virtual bool IsVisible() const = 0;
    virtual void ShowAndRaise() = 0;
    virtual void Hide() = 0;
    virtual void SetPosition(int percent) = 0;                  // Gauge1
    virtual void SetTitle(const std::string& text) = 0;         // window caption
    virtual void SetBytesWritten(const std::string& text) = 0;  // BytesWritt
    virtual void SetStatus(const std::string& text) = 0;        // StatusLabel
    virtual void SetSpeed(const std::string& text) = 0;         // Label3
    virtual void SetTimeLeft(const std::string& text) = 0;      // Label6
    virtual void Repaint() = 0;
    // Cursor of the store loop: busy for the application, normal on Cancel.
    virtual void SetBusyCursor(bool /*busy*/) {}
};

// 100 / (total / done) in extended precision, truncated: 21 of 25 gives 83.
int MeterPercentage(long long done, long long total);

// The transfer loops move bytes in large blocks, but the meter shows what a
// loop moving `unit` bytes at a time would show: the smallest multiple of
// unit past done at which the percentage changes. A loop that stops there
// reports the same byte counts at the same percentages. total must be > 0.
long long NextMeterPoint(long long done, long long total, long long unit);

// The sizes of a transfer loop's blocks: as large as allowed, but the first
// one unit (the small-block loop showed the meter after its first block) and
// each ending where the percentage next changes. Without a meter (metered
// false, or total 0) every block is as large as allowed.
class MeterBlocks {
public:
    MeterBlocks(bool metered, long long total, long long unit)
        : metered_(metered && total > 0), total_(total), unit_(unit), next_(unit) {}
    int Next(long long done, int largest) {
        if (!metered_) return largest;
        if (done >= next_) next_ = NextMeterPoint(done, total_, unit_);
        return static_cast<int>(std::min<long long>(largest, next_ - done));
    }

private:
    bool metered_;
    long long total_, unit_, next_;
};

}  // namespace vollum
