#pragma once

#include <string>

namespace vantor::platform {

// How a download ended. Only Complete means the file holds the whole response
// body; the server's status is not looked at, so an error page is Complete.
enum class DownloadStatus {
    Complete,
    // The local file could not be created (missing directory, no permission,
    // a name with a NUL byte); nothing was created or contacted.
    FileFailed,
    // No response arrived: bad address, refused or timed-out connection. The
    // file exists and is empty.
    OpenFailed,
    // The body stopped early: a failed or stalled read, or a failed write.
    // The bytes received so far stay in the file.
    TransferCut,
};

struct DownloadResult {
    DownloadStatus status = DownloadStatus::FileFailed;
    // A one-line cause for every status but Complete.
    std::string error;
};

// Time-outs in seconds. A dead server must not hold up the frame loop forever.
struct DownloadLimits {
    long connectSeconds = 10;
    // The transfer is abandoned when no byte arrives for this long.
    long stallSeconds = 60;
};

// Downloads `url` (http or https, no proxy, redirects followed) into
// `fileName`, which is created or truncated before anything is sent. Blocks
// until the transfer ends. The user agent is "Vantor".
DownloadResult downloadToFile(const std::string& url, const std::string& fileName,
                              const DownloadLimits& limits = DownloadLimits());

}  // namespace vantor::platform
