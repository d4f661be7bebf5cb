#pragma once
// The working folder and the small file helpers that every subsystem shares.

#include <string>
#include <string_view>

namespace torva {

// Process-wide path of the working folder (the system's temporary folder),
// without a trailing separator; empty until a connect object is created.
extern std::u16string WorkingFolder;

std::u16string GetWorkingFolder();
// "rad" + five upper-case hex digits + ".tmp"; creates nothing.
std::u16string NewTempName();
bool FileExists(std::u16string_view path);
// Deletes without force; every failure is ignored.
void RemoveFile(std::u16string_view path) noexcept;

// True when the text comes back unchanged from the ANSI code page.
bool AnsiCanSpell(std::u16string_view text);
// The path to give a narrow-character call: the path itself when the ANSI
// code page can spell it, else its short (8.3) form, which is plain ASCII and
// names the same file. A path with no short form the code page can spell is
// given unchanged, and the call gets what the conversion makes of it.
std::u16string AnsiSafePath(std::u16string_view path);

}  // namespace torva
