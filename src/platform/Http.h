#pragma once

#include <cstdint>
#include <string>

namespace vantor::platform {

// How a download ended. Only Complete touches the target file; every other
// status leaves it exactly as it was (or absent). The server's status is not
// looked at, so an error page is Complete.
enum class DownloadStatus {
    Complete,
    // The address holds a byte that cannot be sent as given (a blank, a
    // control character or a NUL); nothing was sent.
    BadAddress,
    // No temporary file could be made beside the target (missing directory,
    // no permission, a name with a NUL byte); nothing was sent.
    FileFailed,
    // The transfer failed: no answer, refused connection or certificate,
    // broken off, over the size or time bound, cancelled, or the file could
    // not be written or moved into place.
    Failed,
};

struct DownloadResult {
    DownloadStatus status = DownloadStatus::FileFailed;
    // A one-line cause for every status but Complete.
    std::string error;
};

// Bounds of one download. A dead, endless or dripping server must neither
// hold up the frame loop forever nor fill the disk.
struct DownloadLimits {
    long connectSeconds = 10;
    // The whole transfer, connection included.
    long totalSeconds = 60;
    // Bodies larger than this are abandoned.
    uint64_t maxBytes = uint64_t(64) << 20;
    // Polled at least every 100 ms while the transfer runs; true abandons it.
    bool (*cancelled)() = nullptr;
};

// True when every byte of `url` can be sent as it stands: no blank, control
// character (below 0x20, or 0x7f) or NUL. Bytes of 0x80 and above are sent
// percent-encoded by the transfer library.
bool isSendableAddress(const std::string& url);

// Downloads `url` (http or https, no proxy, redirects followed) into a
// temporary file beside `fileName` and moves it over `fileName` only when the
// body arrived whole; on any failure the temporary file is removed and
// `fileName` is untouched. Blocks until the transfer ends. The user agent is
// "Vantor".
DownloadResult downloadToFile(const std::string& url, const std::string& fileName,
                              const DownloadLimits& limits = DownloadLimits());

}  // namespace vantor::platform
