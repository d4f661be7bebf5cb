#pragma once
// Starting the label application on a hand-off file.

#include <cstdint>
#include <string_view>

namespace torva {

// The hand-off file's RUNMODE: which host hands over what.
inline constexpr int32_t kRunModeWord = 2;     // nothing: the label application starts empty
inline constexpr int32_t kRunModeExcel = 3;    // DBFILE: the Excel export file
inline constexpr int32_t kRunModeAccess = 4;   // the database, and the table's or query's SQL
inline constexpr int32_t kRunModeOutlook = 5;  // DBFILE: the contact export file

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

}  // namespace torva
