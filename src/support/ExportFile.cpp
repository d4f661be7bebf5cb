#include "support/ExportFile.h"

#include "base/Error.h"
#include "base/Text.h"

namespace torva {

namespace {

[[noreturn]] void deviceIoError() {
    throw ExportFileError(Error(vb::kDeviceIo, u"Device I/O error"));
}

platform::File create(const std::u16string& path) {
    try {
        return platform::openFile(path, "wb");
    } catch (const Error& e) {
        throw ExportFileError(e);
    }
}

}  // namespace

ExportFile::ExportFile(const std::u16string& path) : file_(create(path)) {
    if (std::fwrite("\xFF\xFE", 1, 2, file_.get()) != 2) deviceIoError();
}

void ExportFile::writeLine(std::u16string_view line) {
    std::string bytes = toUtf16Le(line);
    bytes.append("\r\0\n\0", 4);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) deviceIoError();
}

void ExportFile::close() {
    if (std::fclose(file_.release()) != 0) deviceIoError();
}

}  // namespace torva
