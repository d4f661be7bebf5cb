#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Platform.h"
#include "platform/posix/ErrnoError.h"
#include "platform/posix/Recorder.h"
#include "base/Text.h"

namespace torva::platform {

namespace {

// The add-in joins paths with backslashes; here they are separators.
std::string nativePath(std::u16string_view path) {
    std::string out = toUtf8(path);
    for (char& c : out) {
        if (c == '\\') {
            c = '/';
        }
    }
    return out;
}

std::u16string withoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return fromUtf8(folder);
}

}  // namespace

LockedStream::LockedStream(std::FILE* stream) noexcept : stream_(stream) { flockfile(stream_); }
LockedStream::~LockedStream() { funlockfile(stream_); }
int LockedStream::get() noexcept { return getc_unlocked(stream_); }
int LockedStream::put(int byte) noexcept { return putc_unlocked(byte, stream_); }

File openFile(std::u16string_view path, const char* mode) {
    File file(std::fopen(nativePath(path).c_str(), mode));
    if (!file) {
        throw posix::errnoError();
    }
    return file;
}

std::u16string tempFolder() {
    if (const auto& forced = posix::recorder().tempFolder) {
        return *forced;
    }
    const char* tmpdir = std::getenv("TMPDIR");
    return withoutTrailingSlash(tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp");
}

void randomBytes(std::span<uint8_t> out) {
    size_t done = 0;
    auto& given = posix::recorder().randomBytes;
    for (; done < out.size() && !given.empty(); ++done) {
        out[done] = given.front();
        given.erase(given.begin());
    }
    while (done < out.size()) {
        const ssize_t n = getrandom(out.data() + done, out.size() - done, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw posix::errnoError();
        }
        done += static_cast<size_t>(n);
    }
}

bool isFile(std::u16string_view path) {
    struct stat info {};
    return ::stat(nativePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void deleteFile(std::u16string_view path) {
    const std::string native = nativePath(path);
    struct stat info {};
    if (::stat(native.c_str(), &info) != 0) {
        throw posix::errnoError();
    }
    // Windows refuses to delete a read-only file; so do we, even as root.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        throw posix::errnoError(EACCES);
    }
    if (S_ISDIR(info.st_mode) || ::unlink(native.c_str()) != 0) {
        throw posix::errnoError(S_ISDIR(info.st_mode) ? EISDIR : errno);
    }
}

void appendToFile(std::u16string_view path, std::string_view bytes) {
    const int fd =
        ::open(nativePath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw posix::errnoError();
    }
    ssize_t written;
    do {
        written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    const int code = errno;
    ::close(fd);
    if (written < 0) {
        throw posix::errnoError(code);
    }
    if (static_cast<size_t>(written) != bytes.size()) {
        throw posix::errnoError(ENOSPC);
    }
}

std::u16string moduleFolder() {
    if (const auto& forced = posix::recorder().moduleFolder) {
        return *forced;
    }
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n < 0) {
        throw posix::errnoError();
    }
    std::string exe(buffer, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return withoutTrailingSlash(slash == std::string::npos ? "." : exe.substr(0, slash + 1));
}

std::u16string shortPath(std::u16string_view path) {
    const auto& known = posix::recorder().shortPaths;
    const auto found = known.find(std::u16string(path));
    return found == known.end() ? std::u16string() : found->second;
}

}  // namespace torva::platform
