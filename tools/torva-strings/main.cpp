// torva-strings: turns the readable string sources into Torva.Sys and back,
// and checks a source for what would go wrong in the add-in.

#include <cstdio>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "StringCheck.h"
#include "StringSource.h"
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

int encode(const std::u16string& in, const std::u16string& out) {
    strings::writeFile(out, strings::encodeSource(strings::readFile(in), in));
    return 0;
}

int decode(const std::u16string& in, const std::u16string& out) {
    std::string bytes = strings::readFile(in);
    unscrambleBytes(std::span(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    std::string utf8;
    const std::u16string text = textFromUtf16Le(bytes);  // outlives the line views
    for (std::u16string_view line : splitStringFileLines(text)) {
        utf8 += toUtf8(line) + "\n";
    }
    strings::writeFile(out, utf8);
    return 0;
}

int check(const std::vector<std::u16string>& files) {
    int faults = 0;
    for (const auto& file : files) {
        const auto messages = strings::checkSource(strings::readSource(strings::readFile(file)));
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
