#include "StringSource.h"

#include <cstdio>
#include <span>

#include "StringCheck.h"
#include "base/Error.h"
#include "base/Text.h"
#include "platform/Platform.h"
#include "support/StringFile.h"

namespace torva::strings {

namespace {

// The platform's message names no file; a translator needs to know which.
platform::File open(const std::u16string& path, const char* mode) {
    try {
        return platform::openFile(path, mode);
    } catch (const Error& e) {
        throw Error(e.number(), path + u": " + e.description());
    }
}

}  // namespace

std::string readFile(const std::u16string& path) {
    platform::File file = open(path, "rb");
    std::string bytes;
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
    if (std::ferror(file.get())) throw Error(vb::kDeviceIo, u"could not read " + path);
    return bytes;
}

void writeFile(const std::u16string& path, const std::string& bytes) {
    platform::File file = open(path, "wb");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fclose(file.release()) != 0) {
        throw Error(vb::kDeviceIo, u"could not write " + path);
    }
}

std::string encodeSource(const std::string& utf8, const std::u16string& sourceName) {
    std::u16string text;
    for (const auto& line : readSource(utf8)) {
        if (!line.validUtf8) {
            const std::string number = std::to_string(line.number);
            throw Error(vb::kInvalidCall, sourceName + u": line " + fromUtf8(number) +
                                              u": not valid UTF-8; nothing written");
        }
        text += line.text + u"\r\n";
    }
    std::string bytes = utf16LeWithBom(text);
    scrambleBytes(std::span(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    return bytes;
}

}  // namespace torva::strings
