#include "platform/Http.h"

#include <curl/curl.h>
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vantor::platform {

namespace {

constexpr char kUserAgent[] = "Vantor";
// Bytes handed to the write callback at most per call.
constexpr long kTransferBufferBytes = 102400;
constexpr long kMaxRedirects = 10;
// How long one wait for network activity may last before the cancel flag is
// polled again.
constexpr int kPollMs = 100;
// Tries at a free temporary name before giving up.
constexpr int kTemporaryNameTries = 100;

// The temporary file a body is written to, beside its target. Removed on
// every way out unless moved into place by commit().
class PartFile {
public:
    // Creates "<dir>/.<name>.<pid>-<n>.part" exclusively, with the mode a new
    // target would get (0666 less the umask).
    explicit PartFile(const std::string& target) : target_(target) {
        const size_t slash = target.rfind('/');
        const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        for (int n = 0; n < kTemporaryNameTries && fd_ < 0; ++n) {
            path_ = dir + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(n) +
                    ".part";
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && errno != EEXIST) {
                break;
            }
        }
        if (fd_ < 0) {
            openError_ = errno;
        }
    }
    ~PartFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!committed_ && openError_ == 0) {
            ::unlink(path_.c_str());
        }
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int openError() const { return openError_; }

    // Writes all of `size` bytes; false (with errno kept in writeError) when
    // the file refuses any of them.
    bool writeAll(const char* data, size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                writeError = errno;
                return false;
            }
            data += written;
            size -= static_cast<size_t>(written);
        }
        return true;
    }

    // Closes the file (so a late write error is seen) and renames it over the
    // target. False with writeError set when either fails.
    bool commit() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            writeError = errno;
            return false;
        }
        if (::rename(path_.c_str(), target_.c_str()) != 0) {
            writeError = errno;
            return false;
        }
        committed_ = true;
        return true;
    }

    int writeError = 0;
    uint64_t bytes = 0;
    uint64_t maxBytes = 0;
    bool tooLarge = false;

private:
    std::string target_;
    std::string path_;
    int fd_ = -1;
    int openError_ = 0;
    bool committed_ = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* context) {
    auto* file = static_cast<PartFile*>(context);
    const size_t length = size * count;
    if (file->bytes + length > file->maxBytes) {
        file->tooLarge = true;
        return 0;  // anything but the full count ends the transfer
    }
    file->bytes += length;
    return file->writeAll(data, length) ? length : 0;
}

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

// The easy handle is added on construction and removed before both are freed.
class MultiTransfer {
public:
    explicit MultiTransfer(CURL* easy) : multi_(curl_multi_init()), easy_(easy) {
        if (multi_ && curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
            curl_multi_cleanup(multi_);
            multi_ = nullptr;
        }
    }
    ~MultiTransfer() {
        if (multi_) {
            curl_multi_remove_handle(multi_, easy_);
            curl_multi_cleanup(multi_);
        }
    }
    MultiTransfer(const MultiTransfer&) = delete;
    MultiTransfer& operator=(const MultiTransfer&) = delete;

    bool isReady() const { return multi_ != nullptr; }

    // Runs the transfer to its end. Between bursts of work it waits at most
    // kPollMs for the network, then asks `cancelled`; true stops it at once.
    // Returns the transfer's result, or CURLE_ABORTED_BY_CALLBACK when
    // cancelled.
    CURLcode run(bool (*cancelled)()) {
        int running = 1;
        while (running) {
            if (curl_multi_perform(multi_, &running) != CURLM_OK) {
                return CURLE_FAILED_INIT;
            }
            if (!running) {
                break;
            }
            if (cancelled && cancelled()) {
                return CURLE_ABORTED_BY_CALLBACK;
            }
            curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                return message->data.result;
            }
        }
        return CURLE_FAILED_INIT;
    }

private:
    CURLM* multi_;
    CURL* easy_;
};

std::string megabytes(uint64_t bytes) {
    const double mb = static_cast<double>(bytes) / double(1 << 20);
    char text[32];
    std::snprintf(text, sizeof text, "%g", mb);
    return text;
}

}  // namespace

bool isSendableAddress(const std::string& url) {
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) {
            return false;
        }
    }
    return true;
}

DownloadResult downloadToFile(const std::string& url, const std::string& fileName,
                              const DownloadLimits& limits) {
    DownloadResult result;
    if (!isSendableAddress(url)) {
        result.status = DownloadStatus::BadAddress;
        result.error = "the address has a blank or control character";
        return result;
    }
    if (fileName.empty() || fileName.find('\0') != std::string::npos) {
        result.error = "not a file name";
        return result;
    }
    PartFile file(fileName);
    if (!file.isOpen()) {
        result.error =
            std::string("cannot create a file beside it: ") + std::strerror(file.openError());
        return result;
    }
    file.maxBytes = limits.maxBytes;

    result.status = DownloadStatus::Failed;
    if (limits.cancelled && limits.cancelled()) {
        result.error = "the game is quitting";
        return result;
    }
    // curl_easy_init runs curl_global_init on first use; the engine calls this
    // on the main thread only, which is what that implicit set-up needs.
    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        result.error = "no transfer handle";
        return result;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
    // Direct access: proxy settings from the environment are ignored.
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, limits.totalSeconds);
    // A body announced as too large is refused before any of it is written.
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(std::min<uint64_t>(limits.maxBytes, INT64_MAX)));
    // No signals: the time-outs must not disturb the engine's own handlers.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kTransferBufferBytes);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &file);

    MultiTransfer transfer(handle);
    if (!transfer.isReady()) {
        result.error = "no transfer handle";
        return result;
    }
    const CURLcode code = transfer.run(limits.cancelled);
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        result.error = "the game is quitting";
    } else if (file.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.error = "larger than the download limit of " + megabytes(limits.maxBytes) + " MB";
    } else if (code == CURLE_OPERATION_TIMEDOUT) {
        result.error = std::string(errorText[0] ? errorText : curl_easy_strerror(code)) +
                       " (the limit is " + std::to_string(limits.totalSeconds) + " s)";
    } else if (file.writeError != 0) {
        result.error = std::string("writing: ") + std::strerror(file.writeError);
    } else if (code != CURLE_OK) {
        result.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    } else if (!file.commit()) {
        result.error = std::string("storing: ") + std::strerror(file.writeError);
    } else {
        result.status = DownloadStatus::Complete;
        result.error.clear();
    }
    return result;
}

}  // namespace vantor::platform
