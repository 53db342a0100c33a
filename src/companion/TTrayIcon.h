#pragma once
// An icon in the desktop's notification area that turns mouse actions on it
// into events and a pop-up menu. Where the desktop has no notification area
// the add fails quietly: AddIcon returns false and Active stays as set.
#include <QIcon>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QMenu;

namespace vollum {

// What the notification area is told: filled before every call.
struct NotifyRecord {
    QIcon icon;
    std::string tip;
};

// The notification-area service; the default one is QSystemTrayIcon.
class NotifyArea {
public:
    enum class Mouse { LeftUp, LeftDoubleClick, RightUp };
    virtual ~NotifyArea() = default;
    virtual bool Add(const NotifyRecord& record) = 0;
    virtual void Modify(const NotifyRecord& record) = 0;
    virtual void Delete() = 0;
    // Set by the icon: the area reports mouse actions here.
    std::function<void(Mouse)> OnMouse;
};

class TTrayIcon : public QObject {
public:
    // The area defaults to the desktop's notification area.
    explicit TTrayIcon(QObject* owner, std::unique_ptr<NotifyArea> area = nullptr);
    ~TTrayIcon() override;

    static constexpr size_t kToolTipLimit = 62;

    bool Active() const { return active_; }
    void SetActive(bool active);
    // Has effect only while a form is being designed, which never happens at run time.
    bool ShowDesigning() const { return showDesigning_; }
    void SetShowDesigning(bool) {}
    const QIcon& Icon() const { return icon_; }
    void SetIcon(const QIcon& icon);
    const std::string& ToolTip() const { return toolTip_; }
    // Longer texts are cut to their first 62 characters (never inside a UTF-8 sequence).
    void SetToolTip(const std::string& tip);

    std::function<void(QObject* sender)> OnClick;
    std::function<void(QObject* sender)> OnDblClick;
    std::function<void(QObject* sender, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnRightClick;
    QMenu* PopupMenu = nullptr;

    // Whether the last add put the icon into the notification area.
    bool Shown() const { return shown_; }

    bool AddIcon();
    void ModifyIcon();
    void RemoveIcon();
    void PopupAtCursor();
    // A mouse action the notification area reported.
    void MouseAction(NotifyArea::Mouse action);

private:
    NotifyRecord FillNotifyData() const;

    std::unique_ptr<NotifyArea> area_;
    bool active_ = false;
    bool showDesigning_ = false;
    bool shown_ = false;
    QIcon icon_;
    std::string toolTip_;
};

// SpoolBay's own icon (window, caption bar, task bar and tray).
QIcon CompanionIcon();

}  // namespace vollum
