#pragma once
// Change notifications for a directory tree (inotify on Linux): every real
// directory below the root is watched, and directories that appear later are
// added as they appear. Links are never followed into. Where the system has
// no notifications, or its watch limit is reached, Complete() says so and the
// caller keeps polling.
#include <functional>
#include <map>
#include <memory>
#include <string>

class QSocketNotifier;

namespace vollum {

class DirectoryWatch {
public:
    DirectoryWatch();
    ~DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    // Watches root and everything below it, after dropping any earlier watch.
    // False when not every directory could be watched.
    bool Start(const std::string& root);
    void Stop();
    bool Watching() const { return !watches_.empty(); }
    // Every directory of the tree has a watch (none was refused since Start).
    bool Complete() const { return complete_; }

    // Something below the root was created, written, closed, moved, deleted or
    // had its attributes changed (many changes may come as one call).
    std::function<void()> OnChange;

private:
    void AddTree(const std::string& dir, bool isRoot);
    void ReadEvents();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::map<int, std::string> watches_;  // watch descriptor -> directory
    bool complete_ = false;
};

}  // namespace vollum
