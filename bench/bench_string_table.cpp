// The string table's load, which every connect object runs at its creation:
// LoadStringTable on a Torva.Sys of 2,000 entries (decoded into a temporary
// file, read, the file deleted) against, measured in the same run:
// - the floor of that documented procedure: the same file read, the same
//   decoded bytes written to a fresh temporary file, reopened, read and
//   deleted, through the same platform calls, with no decoding or parsing;
// - a plain read of the same bytes.

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
// Many short rounds: under Wine each file call is a round trip to the Wine
// server, which a busy machine delays; the best round is one without that.
// One letter per round starts its IDs.
constexpr int kRounds = 25;

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

// The string file as its author wrote it: what decoding Torva.Sys gives.
std::string decodedFile(int round) {
    std::u16string text = u"# generated for the string-table benchmark\r\n";
    for (int e = 0; e < kEntries; ++e) {
        if (e % 100 == 0) text += u"\r\n# group " + fromUtf8(std::to_string(e / 100)) + u"\r\n";
        text += idOf(round, e) + u' ' + textOf(e) + u"\r\n";
    }
    return utf16LeWithBom(text);
}

std::string scrambled(std::string bytes) {
    scrambleBytes(std::span(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    return bytes;
}

void writeFile(const std::u16string& path, const std::string& bytes) {
    platform::File file = platform::openFile(path, "wb");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fclose(file.release()) != 0)
        throw std::runtime_error("cannot write the string file");
}

// The rest of an open file in one read, as the load reads its temporary file.
std::string readWhole(std::FILE* file) {
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) != 0 || (size = std::ftell(file)) < 0 ||
        std::fseek(file, 0, SEEK_SET) != 0)
        throw std::runtime_error("cannot measure a file");
    std::string bytes(static_cast<size_t>(size), '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    return bytes;
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

// The documented load with its decoding and parsing taken out: Torva.Sys
// opened as the load opens it (read and append) and read whole, the decoded
// bytes (at hand already) written to a fresh temporary file in the working
// folder, that file reopened and read whole, then deleted. Returns what was
// read back.
std::string floorOfLoad(const std::u16string& source, const std::string& decoded) {
    {
        platform::File in = platform::openFile(source, "a+b");
        std::rewind(in.get());
        if (readWhole(in.get()).size() != decoded.size())
            throw std::runtime_error("the string file changed size");
    }
    const std::u16string temp = WorkingFolder + u"\\" + NewTempName();
    platform::File out = platform::openFile(temp, "wb");
    if (std::fwrite(decoded.data(), 1, decoded.size(), out.get()) != decoded.size() ||
        std::fclose(out.release()) != 0)
        throw std::runtime_error("cannot write the temporary file");
    std::string back;
    {
        platform::File file = platform::openFile(temp, "rb");
        back = readWhole(file.get());
    }
    RemoveFile(temp);
    return back;
}

std::string readFile(const std::u16string& path) {
    platform::File file = platform::openFile(path, "rb");
    return readWhole(file.get());
}

int run() {
    WorkingFolder = GetWorkingFolder();
    // LoadStringTable reads Torva.Sys beside the module that holds it: here,
    // this program.
    const std::u16string file = platform::moduleFolder() + u"\\Torva.Sys";

    Best load, floor, read, decode;
    size_t size = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string decoded = decodedFile(round);
        writeFile(file, scrambled(decoded));
        read.add(bench::secondsOf([&] { size = plainRead(file); }));
        // The load and its floor take turns at going first.
        bool loaded = false;
        std::string back;
        const auto timeLoad = [&] {
            load.add(bench::secondsOf([&] { loaded = LoadStringTable(); }));
        };
        const auto timeFloor = [&] {
            floor.add(bench::secondsOf([&] { back = floorOfLoad(file, decoded); }));
        };
        if (round % 2 == 0) {
            timeLoad();
            timeFloor();
        } else {
            timeFloor();
            timeLoad();
        }
        const int last = kEntries - 1;
        if (!loaded || GetString(idOf(round, last)) != UnescapeText(textOf(last))) {
            std::printf("bench_string_table: the load of round %d failed\n", round + 1);
            platform::deleteFile(file);
            return 1;
        }
        const std::u16string temp = WorkingFolder + u"\\" + NewTempName();
        decode.add(bench::secondsOf([&] { DecodeFile(file, temp); }));
        // The floor wrote what the load decodes, and read it back whole.
        const bool same = readFile(temp) == decoded && back == decoded;
        platform::deleteFile(temp);
        if (!same) {
            std::printf(
                "bench_string_table: round %d: the floor's bytes are not the decoded ones\n",
                round + 1);
            platform::deleteFile(file);
            return 1;
        }
    }
    platform::deleteFile(file);

    std::printf("String-table load of %d entries (%zu bytes), best of %d rounds\n", kEntries, size,
                kRounds);
    const auto line = [](const char* what, double ms, const char* note) {
        std::printf("  %-30s %8.3f ms%s\n", what, ms, note);
    };
    const auto ratio = [](const char* what, double value, const char* note) {
        std::printf("  %-30s %8.2f%s\n", what, value, note);
    };
    line("LoadStringTable:", load.ms(), "");
    line("floor of the load procedure:", floor.ms(),
         "  (read Torva.Sys; write the decoded bytes to a fresh\n"
         "                                              temporary file, reopen, read, delete)");
    line("plain read of the bytes:", read.ms(), "");
    ratio("load / floor:", load.seconds() / floor.seconds(), "");
    ratio("load / plain read:", load.seconds() / read.seconds(), "");
    ratio("floor / plain read:", floor.seconds() / read.seconds(),
          "  (what the procedure's own files cost)");
    std::printf("  of the load, DecodeFile into the temporary file alone: %.3f ms (%.0f %%)\n",
                decode.ms(), 100 * decode.seconds() / load.seconds());
    std::printf(
        "Summary: string table %.3f ms, %.2fx the floor of its load procedure (temporary file, "
        "no decoding), %.2fx a plain read of the same bytes\n",
        load.ms(), load.seconds() / floor.seconds(), load.seconds() / read.seconds());
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
