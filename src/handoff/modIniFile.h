#pragma once
// The hand-off file: the one channel through which the add-in tells the label
// application what to print from. A small INI file in the working folder.

#include <cstdint>
#include <string>
#include <string_view>

namespace torva {

// Writes the whole hand-off file WorkingFolder + "\" + name: section PLAKORA,
// keys RUNMODE, DBFILE, DBCONNECT, DBSQL in this order. Throws torva::Error 27
// at the first key that cannot be written; the keys after it are not tried.
// The folder and DBFILE are paths: where the ANSI code page cannot spell one,
// its short form is used (see AnsiSafePath).
void writeHandOffFile(std::u16string_view name, int32_t runMode, std::u16string_view dbFile,
                      std::u16string_view dbConnect, std::u16string_view dbSql);

// Writes one key through the narrow profile writer (all four strings in the
// ANSI code page). Throws torva::Error 27 when the writer refuses.
void writeIniValue(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                   std::u16string_view path);

}  // namespace torva
