#include "platform/FileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantor::platform {

FileWatcher::FileWatcher() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FileWatcher::~FileWatcher() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool FileWatcher::watch(const std::string& folder, std::string& error) {
    if (fd_ < 0) {
        error = std::string("inotify: ") + std::strerror(errno);
        return false;
    }
    // IN_CLOSE_WRITE: a file written in place is complete; IN_MOVED_TO: a
    // file renamed into the folder (the temporary file of a safe save).
    const std::string target = folder.empty() ? "." : folder;
    const int wd = inotify_add_watch(fd_, target.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    if (wd < 0) {
        error = std::strerror(errno);
        return false;
    }
    for (const auto& entry : folders_) {
        if (entry.first == wd) {
            return true;
        }
    }
    folders_.emplace_back(wd, folder);
    return true;
}

std::vector<std::string> FileWatcher::changedFiles() {
    std::vector<std::string> changed;
    if (fd_ < 0) {
        return changed;
    }
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = read(fd_, buffer, sizeof buffer);
        if (length <= 0) {
            break;  // EAGAIN: nothing more queued
        }
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0) {
                continue;
            }
            for (const auto& entry : folders_) {
                if (entry.first == event->wd) {
                    std::string path = entry.second;
                    if (!path.empty() && path.back() != '/') {
                        path += '/';
                    }
                    changed.push_back(path + event->name);
                }
            }
        }
    }
    return changed;
}

}  // namespace vantor::platform
