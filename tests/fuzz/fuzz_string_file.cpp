// The string-file reader on arbitrary decoded bytes: the line rules and the
// escapes must hold for anything a damaged or hand-edited file can contain.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "support/StringFile.h"
#include "support/modStringTables.h"

using namespace torva;

namespace {

bool trimmedChar(char16_t c) {
    return c == u'\r' || c == u'\n' || c == u'\t' || c == u' ' || c == u'\a';
}

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = textFromUtf16Le(bytes);
    require(text.size() <= size / 2);

    for (std::u16string_view raw : splitStringFileLines(text)) {
        require(raw.find(u"\r\n") == std::u16string_view::npos);
        const StringLine line = parseStringLine(raw);
        const std::u16string& s = line.stripped;
        require(s.empty() || (!trimmedChar(s.front()) && !trimmedChar(s.back())));
        require(raw.find(s) != std::u16string_view::npos);
        switch (line.kind) {
            case StringLineKind::Blank:
                require(s.empty());
                break;
            case StringLineKind::Comment:
                require(s.front() == u'#');
                break;
            case StringLineKind::Entry:
                require(!line.id.empty() && line.id.size() <= 4);
                require(s.compare(0, line.id.size(), line.id) == 0);
                require(line.text.size() + std::min<size_t>(s.size(), 5) == s.size());
                require(stringIdKey(line.id).size() == line.id.size());
                break;
        }
        // No escape lengthens a text: the marker \n and CR LF are both two characters.
        const std::u16string plain = UnescapeText(line.text);
        require(plain.size() <= line.text.size());
    }

    // Scrambling is undone exactly.
    std::string copy = bytes;
    std::span<uint8_t> span(reinterpret_cast<uint8_t*>(copy.data()), copy.size());
    scrambleBytes(span);
    unscrambleBytes(span);
    require(copy == bytes);
    return 0;
}
