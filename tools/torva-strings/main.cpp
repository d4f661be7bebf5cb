// torva-strings: turns the readable string sources into Torva.Sys and back,
// and checks a source for what would go wrong in the add-in.

#include <cstdio>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "StringCheck.h"
#include "platform/Platform.h"
#include "base/Error.h"
#include "support/StringFile.h"
#include "base/Text.h"

using namespace torva;

namespace {

constexpr const char* kUsage =
    "usage: torva-strings encode IN.txt OUT.sys   UTF-8 source to the scrambled string file\n"
    "       torva-strings decode IN.sys OUT.txt   scrambled string file back to UTF-8\n"
    "       torva-strings check IN.txt...         report what the add-in would make of it\n";

// The platform's message names no file; a translator needs to know which.
platform::File open(const std::u16string& path, const char* mode) {
    try {
        return platform::openFile(path, mode);
    } catch (const Error& e) {
        throw Error(e.number(), path + u": " + e.description());
    }
}

std::string readFile(const std::u16string& path) {
    platform::File file = open(path, "rb");
    std::string bytes;
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, n);
    }
    if (std::ferror(file.get())) {
        throw Error(57, u"could not read " + path);
    }
    return bytes;
}

void writeFile(const std::u16string& path, const std::string& bytes) {
    platform::File file = open(path, "wb");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fclose(file.release()) != 0) {
        throw Error(57, u"could not write " + path);
    }
}

int encode(const std::u16string& in, const std::u16string& out) {
    const auto lines = strings::readSource(readFile(in));
    std::u16string text;
    for (const auto& line : lines) {
        if (!line.validUtf8) {
            std::cerr << toUtf8(in) << ": line " << line.number
                      << ": not valid UTF-8; nothing written\n";
            return 1;
        }
        text += line.text + u"\r\n";
    }
    std::string bytes = utf16LeWithBom(text);
    scrambleBytes(std::span(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    writeFile(out, bytes);
    return 0;
}

int decode(const std::u16string& in, const std::u16string& out) {
    std::string bytes = readFile(in);
    unscrambleBytes(std::span(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    std::string utf8;
    const std::u16string text = textFromUtf16Le(bytes);  // outlives the line views
    for (std::u16string_view line : splitStringFileLines(text)) {
        if (line.ends_with(u'\r')) {
            line.remove_suffix(1);
        }
        utf8 += toUtf8(line) + "\n";
    }
    writeFile(out, utf8);
    return 0;
}

int check(const std::vector<std::u16string>& files) {
    int faults = 0;
    for (const auto& file : files) {
        const auto messages = strings::checkSource(strings::readSource(readFile(file)));
        for (const auto& message : messages) {
            std::cout << toUtf8(file) << ": " << message << "\n";
        }
        if (messages.empty()) {
            std::cout << toUtf8(file) << ": ok\n";
        }
        faults += static_cast<int>(messages.size());
    }
    return faults == 0 ? 0 : 1;
}

int run(const std::vector<std::u16string>& args) {
    if (args.size() == 3 && args[0] == u"encode") {
        return encode(args[1], args[2]);
    }
    if (args.size() == 3 && args[0] == u"decode") {
        return decode(args[1], args[2]);
    }
    if (args.size() >= 2 && args[0] == u"check") {
        return check({args.begin() + 1, args.end()});
    }
    std::cerr << kUsage;
    return 2;
}

int guardedRun(const std::vector<std::u16string>& args) {
    try {
        return run(args);
    } catch (const Error& e) {
        std::cerr << "torva-strings: " << toUtf8(e.description()) << "\n";
    } catch (const std::exception& e) {
        std::cerr << "torva-strings: " << e.what() << "\n";
    }
    return 2;
}

}  // namespace

#ifdef _WIN32
// Wide arguments, so that file names outside the ANSI code page survive.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    }
    return guardedRun(args);
}
#else
int main(int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(fromUtf8(argv[i]));
    }
    return guardedRun(args);
}
#endif
