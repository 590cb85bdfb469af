#pragma once

#include <string>
#include <vector>

namespace vantor::platform {

// Reports files written or moved into watched folders (inotify), for the hot
// reload of levels. Editors that save by writing a temporary file and renaming
// it over the old one show up as a move into the folder. Main thread only.
class FileWatcher {
public:
    FileWatcher();
    ~FileWatcher();  // closes the inotify descriptor and with it every watch
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // Starts watching a folder (not its subfolders; "" is the working
    // folder). Watching a folder twice is harmless. Returns false, with the reason in `error`, when
    // the folder cannot be watched.
    bool watch(const std::string& folder, std::string& error);

    // Paths (folder as given to watch, then the file name) of the files
    // finished since the last call; never blocks. Empty when nothing changed.
    std::vector<std::string> changedFiles();

private:
    int fd_ = -1;
    // Watch descriptor -> folder, as handed to watch().
    std::vector<std::pair<int, std::string>> folders_;
};

}  // namespace vantor::platform
