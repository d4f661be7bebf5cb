#pragma once
// The UTF-16LE export file the label application reads: byte-order mark
// first, CR LF after every line. Every failed write is VB's "Device I/O
// error"; what was written before a failure stays in the file. Each failure
// of the file itself is an ExportFileError, which the exports tell apart from
// the failures of Office's calls.

#include <string>
#include <string_view>

#include "platform/Platform.h"

#include "base/Error.h"

namespace torva {

class ExportFileError : public Error {
  public:
    explicit ExportFileError(const Error& e) : Error(e) {}
};

class ExportFile {
  public:
    // Creates the file, or empties an existing one, and writes the mark.
    explicit ExportFile(const std::u16string& path);
    void writeLine(std::u16string_view line);
    // A close that cannot flush fails like a write.
    void close();

  private:
    platform::File file_;
};

}  // namespace torva
