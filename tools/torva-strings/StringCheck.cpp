#include "StringCheck.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "support/StringFile.h"
#include "base/Text.h"

namespace torva::strings {

namespace {

struct RequiredId {
    const char* id;
    const char* use;
};

// Every ID that the add-in asks the table for.
constexpr RequiredId kRequired[] = {
    {"0900", "toolbar name"},
    {"0910", "Word: button caption"},
    {"0911", "Word: button tooltip"},
    {"0912", "Word: Tools menu entry"},
    {"0920", "Excel: button caption"},
    {"0921", "Excel: button tooltip"},
    {"0922", "Excel: Tools menu entry"},
    {"0923", "Excel: notice that the selection needs two rows and two columns"},
    {"0924", "Excel: notice that the active sheet is not a worksheet"},
    {"0925", "Excel: notice that the selection reaches past row %1 (600)"},
    {"0926", "Excel: notice that header cells from column %1 (192) on need names"},
    {"0927", "Excel: notice that the export file could not be written (%1 folder, %2 reason)"},
    {"0928", "Excel: notice that Excel stopped the export (%1 reason)"},
    {"0930", "Access: button caption"},
    {"0931", "Access: button tooltip"},
    {"0932", "Access: Tools menu entry"},
    {"0933", "Access: notice that no database is open"},
    {"0934", "Access: notice that a table or query must be selected"},
    {"0940", "Outlook: button caption"},
    {"0941", "Outlook: button tooltip"},
    {"0942", "Outlook: Tools menu entry"},
    {"0943", "Outlook: notice that the address books could not be listed (%1 reason)"},
    {"0944", "Outlook: notice that the entry %1 is not a contact"},
    {"0945", "Outlook: notice that an entry without a name is not a contact"},
    {"0946", "Outlook: notice that a contact could not be read (%1 reason)"},
    {"0947", "Outlook: notice that the export file could not be written (%1 folder, %2 reason)"},
    {"0948", "Outlook: notice that Outlook stopped the export (%1 reason)"},
    {"0952", "address-book dialog: OK button"},
    {"0953", "address-book dialog: OK button tooltip"},
    {"0954", "address-book dialog: Cancel button"},
    {"0955", "address-book dialog: Cancel button tooltip"},
    {"0956", "address-book dialog: label above the list"},
    {"0957", "address-book dialog: label tooltip"},
    {"0958", "address-book dialog: private addresses option"},
    {"0959", "address-book dialog: private addresses tooltip"},
    {"0960", "address-book dialog: business addresses option"},
    {"0961", "address-book dialog: business addresses tooltip"},
    {"0962", "address-book dialog: list entry for the selected contacts"},
    {"1002", "dialog reads right to left (True/False)"},
    {"1010", "dialog font name"},
    {"1011", "dialog font size"},
    {"1050", "list font name"},
    {"1051", "list font size"},
    {"2300", "title of the add-in's message boxes"},
    {"2301", "notice that the hand-off file could not be written (%1 folder)"},
    {"2302", "notice that plakora.exe was not found (%1 the add-in's folder)"},
    {"2303", "notice that Windows could not start plakora.exe (%1 path, %2 reason)"},
    {"2304", "notice that the action failed otherwise (%1 reason)"},
    {"5100", "contact export field: title"},
    {"5101", "contact export field: first name"},
    {"5102", "contact export field: last name"},
    {"5103", "contact export field: birthday"},
    {"5110", "contact export field: private postal code"},
    {"5111", "contact export field: private city"},
    {"5112", "contact export field: private street"},
    {"5113", "contact export field: private phone"},
    {"5114", "contact export field: private mobile"},
    {"5115", "contact export field: private e-mail"},
    {"5120", "contact export field: company"},
    {"5121", "contact export field: department"},
    {"5122", "contact export field: business postal code"},
    {"5123", "contact export field: business city"},
    {"5124", "contact export field: business street"},
    {"5125", "contact export field: business phone"},
    {"5126", "contact export field: business fax"},
    {"5127", "contact export field: business mobile"},
    {"5128", "contact export field: business e-mail"},
};

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::u16string_view trimSpaces(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Digits with an optional sign and one decimal point or comma.
bool isNumber(std::u16string_view text) {
    text = trimSpaces(text);
    if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) {
        text.remove_prefix(1);
    }
    bool digits = false, point = false;
    for (char16_t c : text) {
        if (isDigit(c)) {
            digits = true;
        } else if ((c == u'.' || c == u',') && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

bool isTruthValue(std::u16string_view text) {
    const std::u16string word = stringIdKey(trimSpaces(text));
    return word == u"TRUE" || word == u"FALSE" || isNumber(text);
}

std::string at(int line) { return "line " + std::to_string(line) + ": "; }

std::string quoted(std::u16string_view text) { return "\"" + toUtf8(text) + "\""; }

}  // namespace

std::vector<SourceLine> readSource(const std::string& bytes) {
    std::string_view rest = bytes;
    if (rest.starts_with("\xEF\xBB\xBF")) {
        rest.remove_prefix(3);
    }
    std::vector<SourceLine> lines;
    int number = 0;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view raw = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (raw.ends_with('\r')) {
            raw.remove_suffix(1);
        }
        std::u16string text = fromUtf8(raw);
        const bool valid = toUtf8(text) == raw;
        lines.push_back({++number, std::move(text), valid});
    }
    return lines;
}

std::vector<std::string> checkSource(const std::vector<SourceLine>& lines) {
    std::vector<std::string> faults;
    std::map<std::u16string, int> loaded;  // key -> line, as far as the add-in reads
    std::map<std::u16string, int> later;   // entries after the add-in stopped reading
    int stoppedAt = 0;

    for (const SourceLine& source : lines) {
        if (!source.validUtf8) {
            faults.push_back(at(source.number) +
                             "not valid UTF-8; save the file as UTF-8 and retype the marked "
                             "characters");
        }
        const StringLine line = parseStringLine(source.text);
        if (line.kind != StringLineKind::Entry) {
            continue;
        }
        const bool fourDigits =
            line.id.size() == 4 && std::all_of(line.id.begin(), line.id.end(), isDigit);
        if (!fourDigits) {
            faults.push_back(at(source.number) + "the ID " + quoted(line.id) +
                             " is not four digits; an entry line reads: four digits, a "
                             "space, the text (a comment line starts with #)");
        }
        const std::u16string key = stringIdKey(line.id);
        if (stoppedAt == 0) {
            const auto [it, added] = loaded.emplace(key, source.number);
            if (!added) {
                stoppedAt = source.number;
                faults.push_back(at(source.number) + "the ID " + quoted(line.id) +
                                 " is already used on line " + std::to_string(it->second) +
                                 "; the add-in stops reading the file here, so this line and "
                                 "every line after it are lost");
            }
        } else {
            later.emplace(key, source.number);
        }
        if (line.id == u"1002" && !isTruthValue(line.text)) {
            faults.push_back(at(source.number) + "1002 must be True or False (or a number), not " +
                             quoted(line.text) + "; otherwise the address-book dialog fails");
        }
        if ((line.id == u"1011" || line.id == u"1051") && !isNumber(line.text)) {
            faults.push_back(at(source.number) + toUtf8(line.id) +
                             " is a font size and must be a number such as 8, not " +
                             quoted(line.text));
        }
    }

    for (const RequiredId& required : kRequired) {
        const std::u16string key = fromUtf8(required.id);
        if (loaded.contains(key)) {
            continue;
        }
        std::string fault =
            std::string("the ID ") + required.id + " (" + required.use + ") is missing";
        if (const auto it = later.find(key); it != later.end()) {
            fault = at(it->second) + "the ID " + required.id + " (" + required.use +
                    ") comes after the duplicate on line " + std::to_string(stoppedAt) +
                    " and is never read";
        }
        faults.push_back(fault);
    }
    return faults;
}

}  // namespace torva::strings
