#include <windows.h>
#include <bcrypt.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Platform.h"
#include "platform/win/Handle.h"
#include "platform/win/LastError.h"
#include "platform/win/ModulePath.h"
#include "base/Text.h"

namespace torva::platform {

namespace {

void moduleAnchor() {}

}  // namespace

LockedStream::LockedStream(std::FILE* stream) noexcept : stream_(stream) { _lock_file(stream_); }
LockedStream::~LockedStream() { _unlock_file(stream_); }
int LockedStream::get() noexcept { return _getc_nolock(stream_); }
int LockedStream::put(int byte) noexcept { return _putc_nolock(byte, stream_); }

File openFile(std::u16string_view path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::strlen(mode));
    SetLastError(0);
    File file(_wfopen(win::wide(std::u16string(path)), wideMode.c_str()));
    if (!file) {
        const DWORD code = GetLastError();
        if (code != 0) {
            throw win::win32Error(code);
        }
        throw Error::fromHResult(static_cast<int32_t>(E_FAIL), fromUtf8(std::strerror(errno)));
    }
    return file;
}

std::u16string tempFolder() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1) {
        throw win::win32Error();
    }
    std::u16string folder(reinterpret_cast<const char16_t*>(buffer), n);
    // The trailing backslash goes, except after a drive root such as C:\.
    const bool driveRoot = folder.size() == 3 && folder[1] == u':';
    if (!driveRoot && folder.size() > 1 && folder.back() == u'\\') {
        folder.pop_back();
    }
    return folder;
}

void randomBytes(std::span<uint8_t> out) {
    const NTSTATUS status = BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(out.size()),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) {
        throw Error::fromHResult(static_cast<int32_t>(HRESULT_FROM_NT(status)),
                                 u"The system's random number generator failed");
    }
}

bool isFile(std::u16string_view path) {
    const DWORD attributes = GetFileAttributesW(win::wide(std::u16string(path)));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void deleteFile(std::u16string_view path) {
    if (!DeleteFileW(win::wide(std::u16string(path)))) {
        throw win::win32Error();
    }
}

void appendToFile(std::u16string_view path, std::string_view bytes) {
    // Append-only access makes every WriteFile land at the current end, so
    // lines from several Office processes never overwrite or split each other.
    const win::UniqueFile file(CreateFileW(win::wide(std::u16string(path)), FILE_APPEND_DATA,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw win::win32Error();
    // Append-only writes are atomic on a local NTFS volume, but not on every
    // file system (network shares; Wine tears them): so the processes of this
    // session also take turns. A holder that hangs delays us at most 2 s.
    const win::UniqueHandleNull turn(
        CreateMutexW(nullptr, FALSE, L"Local\\TorvaAddIn.AppendToFile"));
    const DWORD waited = turn ? WaitForSingleObject(turn.get(), 2000) : WAIT_FAILED;
    const bool ours = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const DWORD code = GetLastError();
    if (ours) {
        ReleaseMutex(turn.get());
    }
    if (!ok) {
        throw win::win32Error(code);
    }
    if (written != bytes.size()) {
        throw win::win32Error(ERROR_DISK_FULL);
    }
}

std::u16string moduleFolder() {
    std::u16string path = win::modulePath();
    const size_t slash = path.find_last_of(u'\\');
    path.resize(slash == std::u16string::npos ? 0 : slash);
    return path;
}

std::u16string shortPath(std::u16string_view path) {
    const std::wstring longPath(path.begin(), path.end());
    std::wstring shortForm(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetShortPathNameW(longPath.c_str(), shortForm.data(),
                                          static_cast<DWORD>(shortForm.size()));
        if (n == 0) return {};
        if (n < shortForm.size()) {
            shortForm.resize(n);
            break;
        }
        shortForm.resize(n);  // n counts the terminator when the buffer was short
    }
    return std::u16string(shortForm.begin(), shortForm.end());
}

}  // namespace torva::platform

namespace torva::win {

std::u16string modulePath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&platform::moduleAnchor), &module)) {
        throw win32Error();
    }
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0) throw win32Error();
        if (n < name.size()) return fromWide(name.data(), n);
        name.resize(name.size() * 2);
    }
}

}  // namespace torva::win
