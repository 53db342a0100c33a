// TSockets in asynchronous mode: socket notifiers turned into the FD_READ,
// FD_WRITE, FD_ACCEPT, FD_CONNECT and FD_CLOSE notifications of the handlers.
#include <sys/socket.h>

#include <QSocketNotifier>
#include <cerrno>

#include "socket/ErrorTable.h"
#include "socket/TSockets.h"

namespace vollum {

namespace {

constexpr int FD_READ = 1;
constexpr int FD_WRITE = 2;
constexpr int FD_ACCEPT = 8;
constexpr int FD_CONNECT = 16;
constexpr int FD_CLOSE = 32;

// A notifier may be retired from inside its own signal (a handler that
// disconnects), so it is silenced now and deleted once control is back in the
// event loop; as a child of the component it goes with it at the latest.
void Retire(std::unique_ptr<QSocketNotifier>& notifier) {
    if (!notifier) return;
    notifier->setEnabled(false);
    notifier.release()->deleteLater();
}
}  // namespace

void TSockets::WatchAsync(int fd, bool listening) {
    if (fd < 0) return;
    if (listening) {
        Retire(listenNotifier_);
        listenNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read, this);
        connect(listenNotifier_.get(), &QSocketNotifier::activated, this, [this, fd] { OnAsyncRead(fd, true); });
        return;
    }
    Retire(readNotifier_);
    Retire(writeNotifier_);
    readNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read, this);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, [this, fd] { OnAsyncRead(fd, false); });
    writeNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write, this);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, [this, fd] { OnAsyncWrite(fd); });
}

void TSockets::StopWatching(int fd) {
    if (fd < 0) return;
    if (fd == FListenSocket) Retire(listenNotifier_);
    if (fd == FSocket) {
        Retire(readNotifier_);
        Retire(writeNotifier_);
    }
}

void TSockets::RearmRead(int fd) {
    // As with FD_READ and FD_ACCEPT on Windows: raised once, raised again only
    // after the next receive or accept, so a handler that leaves the data
    // queued is not called in a busy loop.
    if (fd == FSocket && readNotifier_) readNotifier_->setEnabled(true);
    if (fd == FListenSocket && listenNotifier_) listenNotifier_->setEnabled(true);
}

bool TSockets::FinishConnect(int fd) {
    connecting_ = false;
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0) {
        // A failed connection stays readable and writable for ever.
        if (readNotifier_) readNotifier_->setEnabled(false);
        if (writeNotifier_) writeNotifier_->setEnabled(false);
    }
    DispatchNotification(fd, FD_CONNECT, err ? WinSockCodeFromErrno(err) : 0);
    return err == 0;
}

void TSockets::OnAsyncRead(int fd, bool listening) {
    if (listening) {
        if (listenNotifier_) listenNotifier_->setEnabled(false);
        DispatchNotification(fd, FD_ACCEPT, 0);
        return;
    }
    // The outcome of a connection comes first; a refused one also wakes readers.
    if (connecting_ && !FinishConnect(fd)) return;
    char c;
    const ssize_t n = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    const int err = n < 0 ? errno : 0;
    if (err == EAGAIN || err == EINTR) return;
    if (readNotifier_) readNotifier_->setEnabled(false);
    if (n > 0) DispatchNotification(fd, FD_READ, 0);
    else DispatchNotification(fd, FD_CLOSE, err ? WinSockCodeFromErrno(err) : 0);
}

void TSockets::OnAsyncWrite(int fd) {
    // Writability is reported once (after connecting) and again only after a
    // send that would have blocked.
    if (writeNotifier_) writeNotifier_->setEnabled(false);
    if (connecting_ && !FinishConnect(fd)) return;
    DispatchNotification(fd, FD_WRITE, 0);
}

void TSockets::DispatchNotification(int socket, int event, int error) {
    if (error > 10000) {
        const char* label = event == FD_READ      ? "FD_READ"
                            : event == FD_WRITE   ? "FD_WRITE"
                            : event == FD_ACCEPT  ? "FD_ACCEPT"
                            : event == FD_CONNECT ? "FD_CONNECT"
                            : event == FD_CLOSE   ? "FD_CLOSE"
                                                  : "";
        ReportError(socket, label, error);
        return;
    }
    const TDataAvailable* handler = nullptr;
    switch (event) {
        case FD_READ: handler = &OnDataAvailable; break;
        case FD_WRITE: handler = &OnDataNeeded; break;
        case FD_ACCEPT: handler = &OnSessionAvailable; break;
        case FD_CONNECT: handler = &OnSessionConnected; break;
        case FD_CLOSE: handler = &OnSessionClosed; break;
        default: return;
    }
    if (*handler) (*handler)(this, socket);
}

}  // namespace vollum
