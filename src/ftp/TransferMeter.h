#pragma once
// The engine's side of the progress window: when a transfer loop updates it,
// the percentage, title, bytes, status, speed and time-left texts. The one
// place that keeps unchanged texts from the window; it never reads the
// window back.
#include <chrono>
#include <optional>
#include <string>

namespace vollum {

class MeterView;

class TransferMeter {
public:
    // The window to drive (nullptr: none). A new window starts at 0 with no texts known.
    void SetView(MeterView* view);
    MeterView* View() const { return view_; }

    // Pacing of one transfer loop. Per block the loop does only the
    // percentage arithmetic and a clock read; the window is brought up to
    // date when the whole percentage changes (the one moment it repaints at
    // once) and whenever pending events are processed (at most every 20 ms).
    void BeginLoop() { pace_ = {}; }
    // True when the window is due an update now; sets EventsDue().
    bool Due(long long done, long long total);
    bool EventsDue() const { return pace_.eventsDue; }
    // The loop has updated the window at least once.
    bool Started() const { return pace_.percent >= 0; }
    static void ProcessPendingEvents();

    // Shows the window with the percentage of done in total; nothing when total is 0 (size not announced).
    void Update(long long done, long long total);
    void Hide();
    void SetStatus(const std::string& text);
    void SetBusyCursor(bool busy);

    // Speed and time-left of one transfer: begins at the first block with
    // both texts empty.
    void BeginRates(long long fileSize);
    void PublishRates(long long total);
    // "12.50 kb/s" and "02:05 min".
    static std::string SpeedText(double kilobytesPerSecond);
    static std::string TimeLeftText(long seconds);

private:
    struct LoopPace {
        std::chrono::steady_clock::time_point nextEvents{};
        int percent = -1;
        bool eventsDue = false;
    };
    struct Rates {
        long long fileSize = 0;
        double start = 0;
        double speed = 0;
        long secondsLeft = 0;
        bool estimated = false;
    };
    using Setter = void (MeterView::*)(const std::string&);
    void SetText(std::optional<std::string>& shown, const std::string& text, Setter set);

    MeterView* view_ = nullptr;
    LoopPace pace_;
    Rates rates_;
    int position_ = 0;       // what the bar shows
    int titlePercent_ = -1;  // what the title shows; written afresh by every transfer
    // Texts last handed to the window; unknown for a new window (its own captions).
    std::optional<std::string> bytes_, status_, speed_, timeLeft_;
};

}  // namespace vollum
