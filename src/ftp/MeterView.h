#pragma once
// What the engine needs of the progress window; the window (ui/), a console
// line (headless runs) and tests implement it. TransferMeter calls a setter
// only with a text that differs from the last one it handed over.
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

}  // namespace vollum
