#pragma once
// What the POSIX platform could not really do (there is no screen, no shell
// and no message loop here) is recorded, so that native tests can see it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torva::platform::posix {

struct MessageBoxCall {
    std::u16string text;
    std::u16string caption;
    uint32_t style;
};

struct ShellCall {
    std::string operation, file, parameters, directory;
    int showCommand;
};

// A picture put on the clipboard: its size as decoded and its bytes.
struct ClipboardPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;
};

struct Recorder {
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<ShellCall> shellCalls;
    std::optional<ClipboardPicture> clipboard;
    // Overrides for the tests; empty means the real value.
    std::optional<std::u16string> moduleFolder;
    std::optional<std::u16string> tempFolder;

    void clear() { *this = Recorder{}; }
};

Recorder& recorder();

}  // namespace torva::platform::posix
