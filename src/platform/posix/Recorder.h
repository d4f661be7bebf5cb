#pragma once
// What the POSIX platform could not really do (there is no screen, no shell
// and no message loop here) is recorded, so that native tests can see it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace torva::platform::posix {

struct MessageBoxCall {
    std::u16string text;
    std::u16string caption;
    uint32_t style;
    intptr_t owner = 0;
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

// A timer started with setTimer: ids count from 1 and are never reused.
struct TimerCall {
    uintptr_t id;
    uintptr_t eventId;
    uint32_t intervalMs;
    void (*proc)(void*, uint32_t, uintptr_t, uint32_t);
    bool killed = false;
};

struct Recorder {
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<ShellCall> shellCalls;
    std::optional<ClipboardPicture> clipboard;
    // Every setTimer and whether killTimer ended it; no message loop runs
    // here, so a test fires the callbacks itself (fireTimers).
    std::vector<TimerCall> timers;
    std::vector<uintptr_t> killedTimers;  // ids given to killTimer, in order
    bool failSetTimer = false;            // setTimer then returns 0
    // Overrides for the tests; empty means the real value.
    std::optional<std::u16string> moduleFolder;
    std::optional<std::u16string> tempFolder;
    // How many more keys the profile writer takes before it refuses every
    // one, as a disk that fills up (the log's existing file still takes its
    // lines); none: no limit.
    std::optional<int> profileWritesLeft;
    // What ShellExecuteA answers (a value above 32 accepts the start).
    intptr_t shellResult = 42;
    // The App Paths registration, in the order the platform reads it.
    std::vector<std::u16string> appPaths;
    // Short forms of paths, as a volume with 8.3 names would give them; a
    // path not listed has none, as on a volume without them.
    std::map<std::u16string, std::u16string> shortPaths;
    // Bytes the random draws take first, in order; the system's after them.
    std::vector<uint8_t> randomBytes;

    void clear() { *this = Recorder{}; }
};

Recorder& recorder();

// One tick of every timer still running, in the order they were started.
// Returns how many callbacks ran.
int fireTimers();

}  // namespace torva::platform::posix
