#include "handoff/modAddin.h"

#include <exception>
#include <optional>
#include <string>

#include "handoff/modIniFile.h"
#include "platform/Platform.h"
#include "base/Error.h"
#include "support/Notice.h"
#include "support/modUtils.h"
#include "support/StringIds.h"

namespace torva {

namespace {
constexpr int kShowNormal = 1;            // SW_SHOWNORMAL
constexpr intptr_t kShellLastError = 32;  // ShellExecuteA's failures are 32 and below

// A path as the narrow shell call takes it, short where the code page fails.
std::string ansiPath(std::u16string_view path) { return platform::toAnsi(AnsiSafePath(path)); }
}  // namespace

// --- Launcher -------------------------------------------------------------

namespace {

// How one start is made: which program, in which folder.
struct Start {
    std::u16string executable;
    std::u16string directory;
};

// Beside the add-in, the development layout, then where Windows says Plakora
// is; nothing when none of them exists.
std::optional<Start> findLabelApplication(const std::u16string& addinFolder) {
    const std::u16string mainExecutable = addinFolder + u"\\plakora.exe";
    if (FileExists(mainExecutable)) return Start{mainExecutable, addinFolder};
    const std::u16string testFolder = addinFolder + u"\\..\\testexe";
    if (FileExists(testFolder + u"\\plakora.exe"))
        return Start{testFolder + u"\\plakora.exe", testFolder};
    for (const std::u16string& registered : platform::appPaths(u"plakora.exe")) {
        const auto slash = registered.find_last_of(u"\\/");
        if (slash == std::u16string::npos || !FileExists(registered)) continue;
        return Start{registered, registered.substr(0, slash)};
    }
    return std::nullopt;
}

}  // namespace

uint32_t shellErrorCode(intptr_t result) {
    switch (result) {
        case 0:
            return 8;  // out of memory: ERROR_NOT_ENOUGH_MEMORY
        case 26:
            return 32;  // SE_ERR_SHARE: ERROR_SHARING_VIOLATION
        case 27:
        case 31:
            return 1155;  // SE_ERR_ASSOCINCOMPLETE, SE_ERR_NOASSOC: ERROR_NO_ASSOCIATION
        case 28:
        case 29:
        case 30:
            return 1156;  // SE_ERR_DDETIMEOUT, DDEFAIL, DDEBUSY: ERROR_DDE_FAIL
        case 32:
            return 1157;  // SE_ERR_DLLNOTFOUND: ERROR_DLL_NOT_FOUND
        default:
            return static_cast<uint32_t>(result);  // the others are Win32 codes already
    }
}

bool launchLabelApplication(int32_t runMode, std::u16string_view dbFile,
                            std::u16string_view dbConnect, std::u16string_view dbSql) {
    // 1. A fresh name for every launch
    const std::u16string handOffName = NewTempName();
    const std::u16string handOffPath = WorkingFolder + u"\\" + handOffName;
    // 2. The file first; a failure here stops the launch before any lookup
    try {
        writeHandOffFile(handOffName, runMode, dbFile, dbConnect, dbSql);
    } catch (const std::exception& e) {
        RemoveFile(handOffPath);
        showFailureNotice(StringId::kHandOffUnwritten, {WorkingFolder},
                          u"Could not write the hand-off file: ", describeFailure(e));
        return false;
    }
    // 3. The executable: beside the add-in, in ..\testexe, or where App Paths says
    const std::u16string addinFolder = platform::moduleFolder();
    const std::optional<Start> start = findLabelApplication(addinFolder);
    if (!start) {
        RemoveFile(handOffPath);
        showFailureNotice(StringId::kPlakoraMissing, {addinFolder}, u"plakora.exe not found: ",
                          u"neither in " + addinFolder + u" nor in " + addinFolder +
                              u"\\..\\testexe, and no App Paths registration names one");
        return false;
    }
    // 4./5. The start, in the executable's folder
    const intptr_t result =
        platform::shellExecute("open", ansiPath(start->executable), platform::toAnsi(handOffName),
                               ansiPath(start->directory), kShowNormal);
    // 6. A refused start is told, with the system's reason
    if (result <= kShellLastError) {
        RemoveFile(handOffPath);
        const std::u16string reason = platform::systemMessage(shellErrorCode(result));
        showFailureNotice(StringId::kPlakoraNotStarted, {start->executable, reason},
                          u"Could not start plakora.exe: ", start->executable + u": " + reason);
        return false;
    }
    return true;
}

}  // namespace torva
