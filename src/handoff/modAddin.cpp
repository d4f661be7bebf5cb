#include "handoff/modAddin.h"

#include <string>

#include "handoff/modIniFile.h"
#include "platform/Platform.h"
#include "base/Error.h"
#include "support/modLog.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

namespace torva {

namespace {
constexpr int kShowNormal = 1;               // SW_SHOWNORMAL
constexpr uint32_t kInformationOkOnly = 64;  // MB_OK | MB_ICONINFORMATION

// A path as the narrow shell call takes it, short where the code page fails.
std::string ansiPath(std::u16string_view path) { return platform::toAnsi(AnsiSafePath(path)); }
}  // namespace

// --- Launcher -------------------------------------------------------------

void launchLabelApplication(int32_t runMode, std::u16string_view dbFile,
                            std::u16string_view dbConnect, std::u16string_view dbSql) {
    // 1. A fresh name for every launch
    const std::u16string handOffName = NewTempName();
    // 2. The file first; a failure here stops the launch before any lookup
    writeHandOffFile(handOffName, runMode, dbFile, dbConnect, dbSql);
    // 3. The executable beside the add-in
    const std::u16string addinFolder = platform::moduleFolder();
    const std::u16string mainExecutable = addinFolder + u"\\plakora.exe";
    const std::string parameters = platform::toAnsi(handOffName);
    if (FileExists(mainExecutable)) {
        // 4. Main start, in the add-in folder
        (void)platform::shellExecute("open", ansiPath(mainExecutable), parameters,
                                     ansiPath(addinFolder), kShowNormal);
    } else {
        // 5. The development layout; deliberately not checked, the shell's
        // failure is as silent as its success
        const std::u16string testFolder = addinFolder + u"\\..\\testexe";
        (void)platform::shellExecute("open", ansiPath(testFolder + u"\\plakora.exe"), parameters,
                                     ansiPath(testFolder), kShowNormal);
    }
    // 6. Result ignored
}

// --- Information message --------------------------------------------------

void showInfoMessage(std::u16string_view text) {
    const std::u16string title = GetString(u"2300");
    (void)platform::messageBox(text, title, kInformationOkOnly);
}

// --- Access start-up timer --------------------------------------------------

std::shared_ptr<AddInTimerTarget> pendingConnectObject;
uintptr_t addInTimerId = 0;

void startAddInTimer(std::shared_ptr<AddInTimerTarget> connectObject) {
    pendingConnectObject = std::move(connectObject);
    if (addInTimerId == 0)
        addInTimerId =
            platform::setTimer(kAddInTimerEventId, kAddInTimerIntervalMs, addInTimerProc);
}

namespace {

// Back to Idle: the timer stops and the waiting object is let go.
void stopAddInTimer() noexcept {
    (void)platform::killTimer(addInTimerId);
    addInTimerId = 0;
    pendingConnectObject.reset();
}

// A tick that fails (no Access application after a failed connection,
// CurrentDb refused) would fail again 20 times a second for the life of
// Access: the wait ends at the first, with one log entry.
void endFailedWait(const std::exception* failure) noexcept {
    stopAddInTimer();
    try {
        WriteLog(u"Could not add Commandbars to Access: " +
                     (failure ? describeFailure(*failure) : u"Unexpected failure"),
                 LogError);
    } catch (...) {  // no memory left for the text; the timer is stopped all the same
    }
}

}  // namespace

void addInTimerProc(void* window, uint32_t message, uintptr_t timerId, uint32_t timeMs) noexcept {
    (void)window;
    (void)message;
    (void)timerId;
    (void)timeMs;
    if (!pendingConnectObject) return;
    // Held here: the installation may start the timer again and replace the
    // waiting object while it runs.
    const std::shared_ptr<AddInTimerTarget> waiting = pendingConnectObject;
    try {
        if (waiting->AddInTimer_Timer()) stopAddInTimer();
    } catch (const std::exception& e) {
        endFailedWait(&e);
    } catch (...) {
        endFailedWait(nullptr);
    }
}

}  // namespace torva
