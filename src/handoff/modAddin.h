#pragma once
// Starting the label application, and the add-in's one information message.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string_view>

namespace torva {

// Writes a fresh hand-off file and starts plakora.exe with its bare name as the
// whole command line; does not wait. The executable is the one beside the
// add-in, else the one in ..\testexe, else the first that exists of those the
// App Paths registration names (the user's, then the machine's), started in
// its own folder. The executable and its folder go to the shell as
// AnsiSafePath gives them. True once the shell accepted the start; otherwise
// the hand-off file is deleted, the user has had the notice of what failed
// (2301 the hand-off file, 2302 no plakora.exe, 2303 the shell refused) and
// the log its entry, and the result is false. Throws only when even that
// could not be done.
[[nodiscard]] bool launchLabelApplication(int32_t runMode, std::u16string_view dbFile,
                                          std::u16string_view dbConnect, std::u16string_view dbSql);

// The Win32 error code behind what ShellExecuteA returned for a failed start
// (a value of 32 or less): its SE_ERR_ codes mapped to the system's errors.
uint32_t shellErrorCode(intptr_t result);

// A modal information box (style 64) titled with string "2300", owned by the
// press's owner window; task-modal when the press has none.
void showInfoMessage(std::u16string_view text);

// --- A press and the way it ends --------------------------------------------
// Every press of the button or the menu entry ends in a launch or in exactly
// one notice. The notices and the dialog of a press belong to the host's main
// window; the host action says how to find it, and it is asked for when the
// first window of the press is about to show, so a press that only launches
// asks the host for nothing more.

using OwnerLookup = std::function<intptr_t()>;

// The press that runs: while it lives, pressOwnerWindow() finds the owner
// with its lookup (once). One press at a time, on the host's thread.
class PressScope {
  public:
    explicit PressScope(OwnerLookup lookup);
    ~PressScope();
    PressScope(const PressScope&) = delete;
    PressScope& operator=(const PressScope&) = delete;
};

// The running press's owner window; 0 outside a press, and when the lookup
// failed or found none. A failing lookup never stops the press.
intptr_t pressOwnerWindow() noexcept;

// A press that ends in a failure: one log entry at level LogError (logText
// followed by the failure's description), then the notice of string `id`
// with its %1, %2 ... filled in. Never throws.
void showFailureNotice(std::u16string_view id, std::initializer_list<std::u16string_view> values,
                       std::u16string_view logText, std::u16string_view description) noexcept;

// --- Access start-up timer ---------------------------------------------------
// Access installs only once a database is open; a timer polls for that. Both
// values belong to the host's user-interface thread, which alone runs the
// timer and the add-in's handlers.

// What the timer waits on: the Access connect object, which answers true
// once it has installed.
class AddInTimerTarget {
  public:
    virtual ~AddInTimerTarget() = default;
    virtual bool AddInTimer_Timer() = 0;
};

// The Access connect object waiting for its installation; keeps it alive
// even after the host released it.
extern std::shared_ptr<AddInTimerTarget> pendingConnectObject;
// The running timer's id as the system gave it; 0 while none runs.
extern uintptr_t addInTimerId;

inline constexpr uintptr_t kAddInTimerEventId = 23;
inline constexpr uint32_t kAddInTimerIntervalMs = 50;

// Remembers the object (replacing the one that waited) and starts the timer
// unless one runs. A timer the system refuses leaves addInTimerId 0, so the
// next call tries again.
void startAddInTimer(std::shared_ptr<AddInTimerTarget> connectObject);
// Each tick: asks the waiting object to install; once it has, the timer
// stops and the object is let go. A tick that fails stops the timer and lets
// go of the object too, and logs the failure once; nothing leaves the
// callback. Its parameters are not used.
void addInTimerProc(void* window, uint32_t message, uintptr_t timerId, uint32_t timeMs) noexcept;

}  // namespace torva
