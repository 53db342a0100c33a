#include "companion/TTrayIcon.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/ProgramIcons.h"
#include "ui/QtText.h"

namespace vollum {

namespace {

class QtNotifyArea : public NotifyArea {
public:
    QtNotifyArea() {
        // Queued: the icon reports a click from inside its own mouse handler, and
        // what a click starts (a menu's nested loop, "Show Mainform" removing the
        // icon) must not run while that handler is still on the stack, or the
        // handler returns into a deleted icon.
        QObject::connect(
            &icon_, &QSystemTrayIcon::activated, &icon_,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (!OnMouse) return;
                if (reason == QSystemTrayIcon::Trigger) OnMouse(Mouse::LeftUp);
                else if (reason == QSystemTrayIcon::DoubleClick) OnMouse(Mouse::LeftDoubleClick);
                else if (reason == QSystemTrayIcon::Context) OnMouse(Mouse::RightUp);
            },
            Qt::QueuedConnection);
    }
    bool Add(const NotifyRecord& r) override {
        // Without a notification area Qt would still accept the icon and show nothing.
        if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
        Modify(r);
        icon_.show();
        return icon_.isVisible();
    }
    void Modify(const NotifyRecord& r) override {
        icon_.setIcon(r.icon);
        icon_.setToolTip(ToQt(r.tip));
    }
    void Delete() override { icon_.hide(); }

private:
    QSystemTrayIcon icon_;
};

}  // namespace

TTrayIcon::TTrayIcon(QObject* owner, std::unique_ptr<NotifyArea> area)
    : QObject(owner), area_(area ? std::move(area) : std::make_unique<QtNotifyArea>()) {
    area_->OnMouse = [this](NotifyArea::Mouse m) { MouseAction(m); };
}

TTrayIcon::~TTrayIcon() {
    if (active_) RemoveIcon();
}

void TTrayIcon::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    if (active) AddIcon();
    else RemoveIcon();
}

void TTrayIcon::SetIcon(const QIcon& icon) {
    if (icon.cacheKey() != icon_.cacheKey()) icon_ = icon;
    ModifyIcon();
}

void TTrayIcon::SetToolTip(const std::string& tip) {
    size_t n = std::min(tip.size(), kToolTipLimit);
    // Back up to the start of a character when the cut falls inside one.
    if (n < tip.size())
        while (n > 0 && (static_cast<unsigned char>(tip[n]) & 0xC0) == 0x80) --n;
    toolTip_ = tip.substr(0, n);
    ModifyIcon();
}

NotifyRecord TTrayIcon::FillNotifyData() const { return {icon_, toolTip_}; }

bool TTrayIcon::AddIcon() {
    shown_ = area_->Add(FillNotifyData());
    // Some areas take the tip only after the icon is in place: give it again.
    if (toolTip_.empty()) QTimer::singleShot(0, this, [this] { SetToolTip(toolTip_); });
    return shown_;
}

void TTrayIcon::ModifyIcon() {
    const NotifyRecord record = FillNotifyData();
    if (!active_) return;
    area_->Modify(record);
}

void TTrayIcon::RemoveIcon() {
    area_->Delete();
    shown_ = false;
}

void TTrayIcon::MouseAction(NotifyArea::Mouse action) {
    switch (action) {
        case NotifyArea::Mouse::LeftUp:
            if (OnClick) OnClick(this);
            break;
        case NotifyArea::Mouse::LeftDoubleClick:
            if (OnDblClick) OnDblClick(this);
            break;
        case NotifyArea::Mouse::RightUp: PopupAtCursor(); break;
    }
}

void TTrayIcon::PopupAtCursor() {
    const QPoint at = QCursor::pos();
    if (PopupMenu) {
        QCoreApplication::processEvents();
        PopupMenu->exec(at);  // returns when the menu closes
    }
    if (OnRightClick) OnRightClick(this, Qt::RightButton, Qt::NoModifier, at.x(), at.y());
}

QIcon CompanionIcon() { return SpoolBayIcon(); }

}  // namespace vollum
