#include "handoff/modIniFile.h"

#include "platform/Platform.h"
#include "base/Error.h"
#include "support/modUtils.h"

namespace torva {

namespace {
constexpr std::u16string_view kSection = u"PLAKORA";

std::u16string decimalText(int32_t n) {
    // Digits only: no leading blank, no plus sign, a minus where negative.
    std::u16string text;
    const bool negative = n < 0;
    auto magnitude = negative ? -static_cast<int64_t>(n) : static_cast<int64_t>(n);
    do {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) text.insert(text.begin(), u'-');
    return text;
}
}  // namespace

void writeHandOffFile(std::u16string_view name, int32_t runMode, std::u16string_view dbFile,
                      std::u16string_view dbConnect, std::u16string_view dbSql) {
    // 1. Full path; both paths go through the ANSI code page, so a folder it
    // cannot spell is given in its short form (WorkingFolder stays long)
    const std::u16string path = AnsiSafePath(WorkingFolder) + u"\\" + std::u16string(name);
    // 2. Run mode as text
    const std::u16string runModeText = decimalText(runMode);
    // 3./4. Four keys in order; an exception ends the file where it stands
    writeIniValue(kSection, u"RUNMODE", runModeText, path);
    writeIniValue(kSection, u"DBFILE", AnsiSafePath(dbFile), path);
    writeIniValue(kSection, u"DBCONNECT", dbConnect, path);
    writeIniValue(kSection, u"DBSQL", dbSql, path);
}

void writeIniValue(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                   std::u16string_view path) {
    // 1. ANSI
    const std::string sectionA = platform::toAnsi(section);
    const std::string keyA = platform::toAnsi(key);
    const std::string valueA = platform::toAnsi(value);
    const std::string pathA = platform::toAnsi(path);
    // 2./3. The writer; zero means the key is not on disk
    // The error carries only the file's path: whoever reports it says what failed.
    if (!platform::writeProfileString(sectionA, keyA, valueA, pathA))
        throw Error(kErrorHandOffWrite, std::u16string(path));
}

}  // namespace torva
