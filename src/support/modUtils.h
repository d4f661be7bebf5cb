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

}  // namespace torva
