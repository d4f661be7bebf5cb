#include "support/modStringTables.h"

#include <cstdio>
#include <unordered_map>
#include <vector>

#include "platform/Platform.h"
#include "base/Error.h"
#include "support/StringFile.h"
#include "support/modDecode.h"
#include "support/modLog.h"
#include "support/modUtils.h"

namespace torva {

namespace {

// Keyed by stringIdKey; entries are only ever added.
std::unordered_map<std::u16string, std::u16string>& stringTable() {
    static std::unordered_map<std::u16string, std::u16string> table;
    return table;
}

// "\n" once a load has run to its end; until then no line breaks are made.
std::u16string lineBreakMarker;

bool isTrimmed(char16_t c) {
    return c == u'\r' || c == u'\n' || c == u'\t' || c == u' ' || c == u'\a';
}

std::u16string replaceAll(std::u16string_view text, std::u16string_view find,
                          std::u16string_view with) {
    if (find.empty()) {
        return std::u16string(text);
    }
    std::u16string out;
    size_t start = 0;
    for (size_t at = text.find(find); at != std::u16string_view::npos;
         at = text.find(find, start)) {
        out.append(text.substr(start, at - start));
        out.append(with);
        start = at + find.size();
    }
    out.append(text.substr(start));
    return out;
}

// The whole file in one read, so that the runtime reads straight into the
// buffer rather than through its own; what the file may have grown by since
// is read after it.
std::string readWhole(std::FILE* file) {
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) != 0 || (size = std::ftell(file)) < 0 ||
        std::fseek(file, 0, SEEK_SET) != 0) {
        throw Error(vb::kDeviceIo, u"Could not read the decoded string file");
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, n);
    }
    if (std::ferror(file)) {
        throw Error(vb::kDeviceIo, u"Could not read the decoded string file");
    }
    return bytes;
}

}  // namespace

bool LoadStringTable() noexcept {
    std::u16string tempPath;
    std::u16string currentLine;
    try {
        tempPath = WorkingFolder + u"\\" + NewTempName();
        DecodeFile(platform::moduleFolder() + u"\\" + u"Torva.Sys", tempPath);

        // Read-only open: a temporary file that went missing is not created.
        std::u16string content;
        {
            platform::File file = platform::openFile(tempPath, "rb");
            content = textFromUtf16Le(readWhole(file.get()));
        }
        const std::vector<std::u16string_view> lines = splitStringFileLines(content);
        // The first load fills the table; a later one stops at its first
        // entry, which is there already, and must not rehash the table.
        if (stringTable().empty()) {
            stringTable().reserve(lines.size());
        }
        for (std::u16string_view raw : lines) {
            StringLine line = parseStringLine(raw);
            currentLine = std::move(line.stripped);  // ID and text are copies of their own
            if (line.kind != StringLineKind::Entry) {
                continue;
            }
            const bool added =
                stringTable().emplace(stringIdKey(line.id), std::move(line.text)).second;
            if (!added) {
                throw Error(vb::kDuplicateKey,
                            u"This key is already associated with an element of this collection");
            }
        }

        RemoveFile(tempPath);
        lineBreakMarker = u"\\n";
        return true;
    } catch (...) {
        WriteLog(u"Could not read Stringtable: " + tempPath, LogError);
        WriteLog(u"Error near Line : " + currentLine, LogError);
        // The file was closed when its scope ended.
        RemoveFile(tempPath);
        return false;
    }
}

std::u16string GetString(std::u16string_view id) {
    const auto& table = stringTable();
    const auto found = table.find(stringIdKey(id));
    return found == table.end() ? std::u16string() : UnescapeText(found->second);
}

std::u16string UnescapeText(std::u16string_view text) {
    std::u16string out = replaceAll(text, lineBreakMarker, u"\r\n");
    out = replaceAll(out, u"\\\u201E", u"\u201E");
    return replaceAll(out, u"\\\"", u"\"");
}

std::u16string TrimWhitespace(std::u16string_view text) {
    while (!text.empty() && isTrimmed(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isTrimmed(text.back())) {
        text.remove_suffix(1);
    }
    return std::u16string(text);
}

std::u16string FillIn(std::u16string_view text, std::initializer_list<std::u16string_view> values) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
            const size_t n = static_cast<size_t>(text[i + 1] - u'1');
            if (n < values.size()) {
                out += *(values.begin() + n);
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace torva
