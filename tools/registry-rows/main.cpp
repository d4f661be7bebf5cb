// Prints the add-in's registration table as WiX source, so that the
// installer writes exactly what DllRegisterServer / DllInstall write:
//
//   registry-rows rows|search user|machine win64|win32 FILE-ID DIR-ID > X.wxi
//
// rows: the registry rows, one flat RegistryKey per key. search: the
// RegistrySearch that reads the add-in's folder back from the one value that
// holds it, so that an uninstall or upgrade finds an add-in installed into
// another folder (Wine's msiexec forgets INSTALLDIR given at install time).
//
// user: classes under HKCU\Software\Classes and the Office add-in keys under
// HKCU, as `regsvr32 /n /i:user` writes them. machine: classes under
// HKLM\Software\Classes and the add-in keys under HKLM, so that every user's
// Office loads the add-in. The module path becomes [#FILE-ID] and its folder
// [DIR-ID] (the installer's folders end with a backslash, as the table's do).
// Built with the host compiler in the cross builds: it runs at build time.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/Text.h"
#include "host/com/Registration.h"

using namespace torva::com;

namespace {

// A character that no registry value of ours holds, standing for the folder
// that the installer chooses.
constexpr char16_t kFolder = u'\uE000';
const std::u16string kFileName = u"TorvaAddIn.dll";

// XML attribute text; line breaks as references, or the parser would turn
// them into spaces.
std::string xml(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\t':
                out += "&#9;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The installer reads keys, names and data as formatted text, in which
// brackets would be expanded. A braced group without properties, such as a
// GUID, stays as it is.
std::u16string literal(const std::u16string& s) {
    std::u16string out;
    for (char16_t c : s) {
        if (c == u'[' || c == u']') {
            out += u"[\\";
            out += c;
            out += u']';
        } else {
            out += c;
        }
    }
    return out;
}

// Registry data: the module and its folder become the installer's paths, and
// a leading # is doubled (one alone would make a number). Any other use of
// the folder, or an empty text (which the installer takes for "no value"),
// cannot be expressed: the rows would differ from what the DLL writes.
std::u16string data(const std::u16string& s, const std::u16string& fileId,
                    const std::u16string& dirId, bool& ok) {
    const std::u16string folder = std::u16string(1, kFolder) + u"\\";
    if (s == folder + kFileName) return u"[#" + fileId + u"]";
    if (s == folder) return u"[" + dirId + u"]";
    if (s.empty() || s.find(kFolder) != std::u16string::npos) ok = false;
    return (!s.empty() && s[0] == u'#' ? u"#" : u"") + literal(s);
}

int usage() {
    std::fprintf(stderr,
                 "usage: registry-rows rows|search user|machine win64|win32 FILE-ID DIR-ID\n");
    return 2;
}

struct Key {
    std::u16string path;
    std::vector<std::string> rows;
    const RegistryValue* folder = nullptr;  // the value that holds the folder alone
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) return usage();
    const std::string mode = argv[1], scope = argv[2], bitness = argv[3];
    if ((mode != "rows" && mode != "search") || (scope != "user" && scope != "machine") ||
        (bitness != "win64" && bitness != "win32"))
        return usage();
    const std::u16string fileId(argv[4], argv[4] + std::char_traits<char>::length(argv[4]));
    const std::u16string dirId(argv[5], argv[5] + std::char_traits<char>::length(argv[5]));
    const char* root = scope == "user" ? "HKCU" : "HKLM";
    const std::u16string folderText = std::u16string(1, kFolder) + u"\\";

    // Keys in the table's order, each with its values: the installer cannot
    // nest RegistryKey elements.
    const auto values = registrationValues(folderText + kFileName, bitness == "win64");
    std::vector<Key> keys;
    const Key* folderKey = nullptr;
    bool ok = true;
    for (const auto& v : values) {
        const std::u16string path =
            (v.root == Root::Classes ? u"Software\\Classes\\" : u"") + v.key;
        std::string row = "<RegistryValue";
        bool rowOk = true;
        if (!v.name.empty()) row += " Name=\"" + xml(torva::toUtf8(literal(v.name))) + "\"";
        if (const auto* text = std::get_if<std::u16string>(&v.data)) {
            row +=
                " Type=\"string\" Value=\"" + xml(torva::toUtf8(data(*text, fileId, dirId, rowOk)));
        } else {
            row += " Type=\"integer\" Value=\"" + std::to_string(std::get<uint32_t>(v.data));
        }
        row += "\"/>";
        if (!rowOk) {
            std::fprintf(stderr, "registry-rows: cannot write %s [%s] as the DLL does\n",
                         torva::toUtf8(path).c_str(), torva::toUtf8(v.name).c_str());
            ok = false;
        }
        auto key =
            std::find_if(keys.begin(), keys.end(), [&](const Key& k) { return k.path == path; });
        if (key == keys.end()) key = keys.insert(keys.end(), Key{path, {}, nullptr});
        key->rows.push_back(row);
        if (std::get_if<std::u16string>(&v.data) && std::get<std::u16string>(v.data) == folderText)
            key->folder = &v;
    }
    for (const auto& k : keys)
        if (k.folder) folderKey = &k;
    if (!folderKey) {
        std::fprintf(stderr, "registry-rows: no value holds the add-in's folder\n");
        ok = false;
    }
    if (!ok) return 1;

    std::printf("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
    std::printf("<!-- Generated by registry-rows from the add-in's registration table. -->\n");
    std::printf("<Include>\n");
    if (mode == "rows") {
        for (const auto& k : keys) {
            std::printf("  <RegistryKey Root=\"%s\" Key=\"%s\">\n", root,
                        xml(torva::toUtf8(literal(k.path))).c_str());
            for (const auto& row : k.rows) std::printf("    %s\n", row.c_str());
            std::printf("  </RegistryKey>\n");
        }
    } else {
        // wixl insists on a Name; an empty one is the key's default value.
        std::printf(
            "  <RegistrySearch Id=\"AddInFolder\" Root=\"%s\" Key=\"%s\" Name=\"%s\" "
            "Type=\"raw\" Win64=\"%s\"/>\n",
            root, xml(torva::toUtf8(literal(folderKey->path))).c_str(),
            xml(torva::toUtf8(folderKey->folder->name)).c_str(), bitness == "win64" ? "yes" : "no");
    }
    std::printf("</Include>\n");
    return 0;
}
