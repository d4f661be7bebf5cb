#pragma once
// The seam to the operating system. One Windows implementation (the real
// calls) and one POSIX implementation (real files and processes; message box,
// timer and clipboard recorded for the tests, see posix/Recorder.h).
//
// Every function that can fail throws torva::Error carrying the platform's
// own description of the failure, unless it says otherwise.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torva::platform {

// --- Text ---------------------------------------------------------------
// The system ANSI code page (CP_ACP). POSIX plays Windows-1252.
std::string toAnsi(std::u16string_view text);
std::u16string fromAnsi(std::string_view text);

struct NumberSeparators {
    char16_t decimal;
    char16_t grouping;
};
// The user's locale separators for numbers.
NumberSeparators numberSeparators();

// --- Files and folders --------------------------------------------------
struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Holds a stream's lock from construction to destruction, so that byte-wise
// reads and writes through it skip stdio's lock and unlock per call (which
// costs more than the byte itself).
class LockedStream {
  public:
    explicit LockedStream(std::FILE* stream) noexcept;
    ~LockedStream();
    LockedStream(const LockedStream&) = delete;
    LockedStream& operator=(const LockedStream&) = delete;
    int get() noexcept;          // as fgetc
    int put(int byte) noexcept;  // as fputc

  private:
    std::FILE* stream_;
};

// Opens a file in the given stdio mode ("rb", "wb", "a+b" ...). The path is
// a Windows path; the POSIX side reads its backslashes as separators.
File openFile(std::u16string_view path, const char* mode);

// The system's folder for temporary files, without a trailing separator
// (except for a drive root).
std::u16string tempFolder();
// Bytes from the system's cryptographic random source.
void randomBytes(std::span<uint8_t> out);
// True for a file, false for a folder or nothing.
bool isFile(std::u16string_view path);
// Deletes a file; a read-only file is refused, not forced.
void deleteFile(std::u16string_view path);
// Appends the bytes at the end of the file as one write, creating the file
// when missing; several processes appending at once do not interleave.
void appendToFile(std::u16string_view path, std::string_view bytes);
// The folder that holds the loaded add-in module, without trailing separator.
std::u16string moduleFolder();
// The short (8.3) form of an existing file's or folder's path; empty, not an
// error, when the system has none for it (no such path, or 8.3 names off on
// its volume).
std::u16string shortPath(std::u16string_view path);

// --- Clock --------------------------------------------------------------
struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime localDate();
LocalTime localTime();

// --- Profile files and the shell (all text in the ANSI code page) --------
// WritePrivateProfileStringA; false where it returned zero.
[[nodiscard]] bool writeProfileString(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& path);
// ShellExecuteA with no owner window; returns what it returned.
intptr_t shellExecute(const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory, int showCommand);
// The program paths that Windows' App Paths registration gives for an
// executable's name (the default value of the key NAME under
// Software\Microsoft\Windows\CurrentVersion\App Paths), the user's (HKCU)
// first, then the machine's (HKLM); without quotes, environment variables
// expanded. Absent keys and unreadable values are left out. Never throws.
std::vector<std::u16string> appPaths(std::u16string_view executableName) noexcept;
// The system's text for a Win32 error code, without its line break.
std::u16string systemMessage(uint32_t code);

// --- User interface -----------------------------------------------------
// A window handle as the system gives it; 0 is none.
using WindowHandle = intptr_t;
// A modal message box owned by the window (none: 0); returns the button pressed.
int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
               uint32_t style);

// --- Timer ----------------------------------------------------------------
// A timer callback with the four parameters of a Windows timer procedure:
// owner window (null here), message (WM_TIMER), timer id, system time in ms.
using TimerProc = void (*)(void* window, uint32_t message, uintptr_t timerId, uint32_t timeMs);
// SetTimer with no owner window: the callback runs from the message loop of
// the calling thread every intervalMs. With no window the system ignores the
// event id and returns its own identifier; 0 when no timer was started.
// Never throws.
uintptr_t setTimer(uintptr_t eventId, uint32_t intervalMs, TimerProc proc) noexcept;
// KillTimer with no owner window; false when no such timer ran.
bool killTimer(uintptr_t timerId) noexcept;

// --- Clipboard ------------------------------------------------------------
// Decodes the GIF picture and puts it on the system clipboard as a bitmap
// (CF_BITMAP), replacing what the clipboard held.
void putPictureOnClipboard(std::span<const uint8_t> gif);

}  // namespace torva::platform
