#include "platform/Http.h"

#include <curl/curl.h>
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace vantor::platform {

namespace {

constexpr char kUserAgent[] = "Vantor";
// Bytes handed to the write callback at most per call.
constexpr long kTransferBufferBytes = 102400;
constexpr long kMaxRedirects = 10;

// The local file, closed on every way out.
class OutputFile {
public:
    explicit OutputFile(int fd) : fd_(fd) {}
    ~OutputFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }

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

    // Closes now so a late write error (full disk on some file systems) is seen.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            writeError = errno;
            return false;
        }
        return true;
    }

    int writeError = 0;

private:
    int fd_;
};

size_t writeBody(char* data, size_t size, size_t count, void* context) {
    auto* file = static_cast<OutputFile*>(context);
    const size_t bytes = size * count;
    // Anything but the full count makes curl end the transfer with a write error.
    return file->writeAll(data, bytes) ? bytes : 0;
}

struct CurlHandleDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

}  // namespace

DownloadResult downloadToFile(const std::string& url, const std::string& fileName,
                              const DownloadLimits& limits) {
    DownloadResult result;
    if (fileName.find('\0') != std::string::npos) {
        result.error = "file name contains a NUL byte";
        return result;
    }
    OutputFile file(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.isOpen()) {
        result.error = std::strerror(errno);
        return result;
    }

    result.status = DownloadStatus::OpenFailed;
    if (url.find('\0') != std::string::npos) {
        result.error = "address contains a NUL byte";
        return result;
    }
    // curl_easy_init runs curl_global_init on first use; the engine calls this
    // on the main thread only, which is what that implicit set-up needs.
    std::unique_ptr<CURL, CurlHandleDeleter> curl(curl_easy_init());
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
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
    // No signals: the time-outs must not disturb the engine's own handlers.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kTransferBufferBytes);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &file);

    const CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK) {
        long responseCode = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &responseCode);
        // Without a response the address could not be opened; with one, the
        // body was cut short.
        result.status = responseCode == 0 && code != CURLE_WRITE_ERROR
                            ? DownloadStatus::OpenFailed
                            : DownloadStatus::TransferCut;
        if (file.writeError != 0) {
            result.error =
                std::string("writing ") + fileName + ": " + std::strerror(file.writeError);
        } else {
            result.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
        }
        return result;
    }
    if (!file.close()) {
        result.status = DownloadStatus::TransferCut;
        result.error = std::string("writing ") + fileName + ": " + std::strerror(file.writeError);
        return result;
    }
    result.status = DownloadStatus::Complete;
    return result;
}

}  // namespace vantor::platform
