// The string table's load, which every connect object runs at its creation:
// LoadStringTable on a Torva.Sys of 2,000 entries (decoded into a temporary
// file, read, the file deleted) against a plain read of the same bytes, as a
// ratio measured in one run.

#include <windows.h>

#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>

#include "BenchSupport.h"
#include "platform/Platform.h"
#include "support/StringFile.h"
#include "base/Text.h"
#include "support/modDecode.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

using namespace torva;
using bench::Best;

namespace {

constexpr int kEntries = 2000;
constexpr int kRounds = 7;

// Each round loads IDs of its own: the table is process-wide and keeps what
// it holds, and an ID loaded before would end the load on its failure path.
std::u16string idOf(int round, int entry) {
    const char16_t digits[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return {char16_t(u'A' + round), digits[entry / 1296], digits[entry / 36 % 36],
            digits[entry % 36]};
}

// Texts as the shipped table has them: captions, tooltips, messages of
// several lines, quotes, umlauts.
std::u16string textOf(int entry) {
    static const std::u16string kWords[] = {
        u"Etiketten", u"Adressbücher", u"drucken", u"für", u"Größe", u"\\\"Plakora\\\"",
        u"Zeile",     u"Straße",       u"Auswahl", u"\\n", u"Datei"};
    std::u16string text = u"Text";
    const int words = 1 + entry % 8;
    for (int w = 0; w < words; ++w) text += u' ' + kWords[(entry * 7 + w * 3) % 11];
    return text;
}

std::string encodedFile(int round) {
    std::u16string text = u"# generated for the string-table benchmark\r\n";
    for (int e = 0; e < kEntries; ++e) {
        if (e % 100 == 0) text += u"\r\n# group " + fromUtf8(std::to_string(e / 100)) + u"\r\n";
        text += idOf(round, e) + u' ' + textOf(e) + u"\r\n";
    }
    std::string bytes = utf16LeWithBom(text);
    scrambleBytes(std::span(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    return bytes;
}

void writeFile(const std::u16string& path, const std::string& bytes) {
    platform::File file = platform::openFile(path, "wb");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fclose(file.release()) != 0)
        throw std::runtime_error("cannot write the string file");
}

// What any program does to read a file: open, read it whole, close.
size_t plainRead(const std::u16string& path) {
    platform::File file = platform::openFile(path, "rb");
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
    return bytes.size();
}

int run() {
    WorkingFolder = GetWorkingFolder();
    // LoadStringTable reads Torva.Sys beside the module that holds it: here,
    // this program.
    const std::u16string file = platform::moduleFolder() + u"\\Torva.Sys";

    Best load, read, decode;
    size_t size = 0;
    for (int round = 0; round < kRounds; ++round) {
        writeFile(file, encodedFile(round));
        read.add(bench::secondsOf([&] { size = plainRead(file); }));
        bool loaded = false;
        load.add(bench::secondsOf([&] { loaded = LoadStringTable(); }));
        const int last = kEntries - 1;
        if (!loaded || GetString(idOf(round, last)) != UnescapeText(textOf(last))) {
            std::printf("bench_string_table: the load of round %d failed\n", round + 1);
            platform::deleteFile(file);
            return 1;
        }
        const std::u16string temp = WorkingFolder + u"\\" + NewTempName();
        decode.add(bench::secondsOf([&] { DecodeFile(file, temp); }));
        platform::deleteFile(temp);
    }
    platform::deleteFile(file);

    std::printf("String-table load of %d entries (%zu bytes), best of %d rounds\n", kEntries, size,
                kRounds);
    std::printf("  LoadStringTable:            %8.3f ms\n", load.ms());
    std::printf("  plain read of the bytes:    %8.3f ms\n", read.ms());
    std::printf("  load / plain read:          %8.2f\n", load.seconds() / read.seconds());
    std::printf("  of the load, DecodeFile into the temporary file alone: %.3f ms (%.0f %%)\n",
                decode.ms(), 100 * decode.seconds() / load.seconds());
    std::printf("Summary: string table %.3f ms, %.2fx a plain read of the same bytes\n", load.ms(),
                load.seconds() / read.seconds());
    return 0;
}

}  // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        std::printf("bench_string_table: %s\n", e.what());
        return 1;
    }
}
