#include "platform/DirectoryWatch.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/Helpers.h"
#include "platform/LocalFiles.h"

namespace vollum {

namespace fs = std::filesystem;

namespace {
// Writes show as IN_MODIFY while a copy runs and IN_CLOSE_WRITE when it ends,
// so a settle wait can tell a growing file from a finished one.
constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE |
                             IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
}  // namespace

DirectoryWatch::DirectoryWatch() = default;

DirectoryWatch::~DirectoryWatch() { Stop(); }

bool DirectoryWatch::Start(const std::string& root) {
    Stop();
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return false;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ReadEvents(); });
    complete_ = true;
    AddTree(root, true);
    return complete_;
}

void DirectoryWatch::Stop() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    watches_.clear();
    complete_ = false;
}

void DirectoryWatch::AddTree(const std::string& dir, bool isRoot) {
    // The root may be reached through a link (a drive); nothing below it is.
    const uint32_t mask = kEvents | IN_ONLYDIR | (isRoot ? 0 : IN_DONT_FOLLOW);
    const int wd = ::inotify_add_watch(fd_, dir.c_str(), mask);
    if (wd < 0) {
        // Gone meanwhile is no gap; a refused watch (the limit) is.
        if (errno != ENOENT && errno != ENOTDIR) complete_ = false;
        return;
    }
    if (watches_.count(wd) != 0) return;  // already watched: its tree is too
    watches_[wd] = dir;
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) AddTree(it->path().native(), false);
}

void DirectoryWatch::ReadEvents() {
    alignas(inotify_event) char buffer[16384];
    bool changed = false;
    std::vector<std::string> newDirectories;
    for (int round = 0; round < 64; ++round) {  // bounded: a busy copy never holds the loop
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            changed = true;
            if (e->mask & IN_Q_OVERFLOW) complete_ = false;
            if (e->mask & IN_IGNORED) {
                watches_.erase(e->wd);
                continue;
            }
            if ((e->mask & IN_ISDIR) && (e->mask & (IN_CREATE | IN_MOVED_TO)) && e->len > 0) {
                const auto it = watches_.find(e->wd);
                if (it != watches_.end()) newDirectories.push_back(AddBackslash(it->second) + e->name);
            }
        }
    }
    // Files put into a new directory before its watch existed are seen by the
    // caller's look at the whole spool, which this call starts.
    for (const std::string& dir : newDirectories)
        if (IsRealDirectory(dir)) AddTree(dir, false);
    if (changed && OnChange) OnChange();
}

}  // namespace vollum

#else
namespace vollum {
DirectoryWatch::DirectoryWatch() = default;
DirectoryWatch::~DirectoryWatch() = default;
bool DirectoryWatch::Start(const std::string&) { return false; }
void DirectoryWatch::Stop() {}
void DirectoryWatch::AddTree(const std::string&, bool) {}
void DirectoryWatch::ReadEvents() {}
}  // namespace vollum
#endif
