// The scenario file's top level: the host, the run's settings, the faults
// and foreign controls, with each host's section and the steps read by
// rooms of their own.

#include "Scenario.h"

#include <cstdio>

#include "CommandBars.h"
#include "ScenarioFields.h"
#include "ScenarioParts.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using namespace fields;

constexpr std::array kTopLevel = {"host",         "wrongApplication", "stringTable", "excel",
                                  "access",       "outlook",          "steps",       "faults",
                                  "tempFolder",   "foreignControls",  "hostWindow",  "plakora",
                                  "officeVersion"};
// Office 2000, XP, 2003, 2007, 2010, 2013, 2016 to 365.
constexpr std::array kOfficeVersions = {"9.0", "10.0", "11.0", "12.0", "14.0", "15.0", "16.0"};
constexpr std::array kPlakoraPlaces = {"staged", "missing", "unstartable", "appPaths"};
constexpr int kLargestCoordinate = 16384;

int32_t hresultOf(const json& v, const std::string& field) {
    const std::string t = text(v, field);
    unsigned long n = 0;
    char rest = 0;
    if (t.size() != 10 || std::sscanf(t.c_str(), "0x%8lx%c", &n, &rest) != 1 ||
        (n & 0x80000000ul) == 0)
        throw ScenarioError(field, "expected a failing HRESULT as 0x8XXXXXXX");
    return static_cast<int32_t>(n);
}

// { "hresult": "0x8...", "description": "..." }
void readFailure(const json& v, const std::string& field, Fault& fault) {
    if (!v.is_object() || !v.contains("hresult"))
        throw ScenarioError(field, R"(expected { "hresult": "0x8...", "description": "..." })");
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "hresult")
            fault.hresult = hresultOf(value, f);
        else if (key == "description")
            fault.description = fromUtf8(text(value, f));
        else
            throw ScenarioError(f, "unknown field");
    });
}

Fault faultOf(const json& v, const std::string& field) {
    Fault fault;
    bool fails = false;
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "member") {
            fault.member = fromUtf8(text(value, f));
            if (fault.member.empty()) throw ScenarioError(f, "expected a member name");
        } else if (key == "occurrence") {
            fault.occurrence =
                static_cast<long>(whole(value, f, 1, 1000000, "expected a call number from 1"));
        } else if (key == "nothing") {
            if (!flag(value, f)) throw ScenarioError(f, "expected true");
            fault.nothing = true;
        } else if (key == "fail") {
            readFailure(value, f, fault);
            fails = true;
        } else {
            throw ScenarioError(f, "unknown field");
        }
    });
    if (fault.member.empty()) throw ScenarioError(field + ".member", "missing");
    if (fails == fault.nothing) throw ScenarioError(field, "expected either fail or nothing");
    return fault;
}

ForeignControl foreignControl(const json& v, const std::string& field, model::HostKind host) {
    ForeignControl c;
    bool hasBar = false, hasCaption = false;
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "bar") {
            c.bar = fromUtf8(text(value, f));
            if (!model::makeHostCommandBars(model::hostName(host))->find(c.bar))
                throw ScenarioError(f, "the host has no bar of that name");
            hasBar = true;
        } else if (key == "caption") {
            c.caption = fromUtf8(text(value, f));
            if (c.caption.empty()) throw ScenarioError(f, "expected a caption");
            hasCaption = true;
        } else if (key == "tag") {
            c.tag = fromUtf8(text(value, f));
        } else {
            throw ScenarioError(f, "unknown field");
        }
    });
    if (!hasBar) throw ScenarioError(field + ".bar", "missing");
    if (!hasCaption) throw ScenarioError(field + ".caption", "missing");
    return c;
}

WindowRect windowRect(const json& v, const std::string& field) {
    WindowRect r;
    eachField(
        v, field,
        [&](const std::string& key, const json& value, const std::string& f) {
            int* slot = key == "x"        ? &r.x
                        : key == "y"      ? &r.y
                        : key == "width"  ? &r.width
                        : key == "height" ? &r.height
                                          : nullptr;
            if (!slot) throw ScenarioError(f, "unknown field");
            const bool size = key == "width" || key == "height";
            *slot = static_cast<int>(
                whole(value, f, size ? 100 : 0, kLargestCoordinate,
                      size ? "expected pixels from 100" : "expected pixels from 0"));
        },
        "expected {x, y, width, height}");
    return r;
}

json document(const std::string& utf8Json) {
    json root;
    try {
        root = json::parse(utf8Json);
    } catch (const json::parse_error& e) {
        throw ScenarioError("(document)", std::string("not JSON: ") + e.what());
    }
    if (!root.is_object()) throw ScenarioError("(document)", "expected a JSON object");
    for (const auto& [key, value] : root.items())
        if (!oneOf(key, kTopLevel)) throw ScenarioError(key, "unknown field");
    return root;
}

// Which host, which Office, where its window and the stand-in are.
void readRun(const json& root, Scenario& s) {
    if (!root.contains("host")) throw ScenarioError("host", "missing");
    auto kind = model::hostFromName(fromUtf8(text(root["host"], "host")));
    if (!kind) throw ScenarioError("host", "expected Excel, Word, Access or Outlook");
    s.host = *kind;
    if (root.contains("wrongApplication"))
        s.wrongApplication = flag(root["wrongApplication"], "wrongApplication");
    if (root.contains("stringTable")) {
        s.stringTable = text(root["stringTable"], "stringTable");
        if (s.stringTable->empty()) throw ScenarioError("stringTable", "expected a path");
    }
    if (root.contains("tempFolder")) {
        s.tempFolder = text(root["tempFolder"], "tempFolder");
        if (!windowsPath(*s.tempFolder) || s.tempFolder->back() == '\\')
            throw ScenarioError("tempFolder", "expected a Windows path like C:\\Temp");
    }
    if (root.contains("officeVersion"))
        s.officeVersion = fromUtf8(choice(root["officeVersion"], "officeVersion", kOfficeVersions));
    if (root.contains("hostWindow")) s.hostWindow = windowRect(root["hostWindow"], "hostWindow");
    if (root.contains("plakora")) {
        const std::string place = choice(root["plakora"], "plakora", kPlakoraPlaces);
        s.plakora = place == "missing"       ? PlakoraPlace::Missing
                    : place == "unstartable" ? PlakoraPlace::Unstartable
                    : place == "appPaths"    ? PlakoraPlace::AppPaths
                                             : PlakoraPlace::Staged;
    }
}

// The foreign controls; the report counts clicks by caption, so each is unique.
void readForeignControls(const json& list, Scenario& s) {
    eachEntry(list, "foreignControls", [&](const json& v, const std::string& f) {
        auto c = foreignControl(v, f, s.host);
        for (const auto& other : s.foreignControls)
            if (other.caption == c.caption)
                throw ScenarioError(f + ".caption", "already taken by another");
        s.foreignControls.push_back(std::move(c));
    });
}
}  // namespace

Scenario parseScenario(const std::string& utf8Json) {
    const json root = document(utf8Json);
    Scenario s;
    readRun(root, s);
    s.excel = section(root, "excel");
    s.excelSetup = excelSetup(s.excel);
    s.access = section(root, "access");
    s.accessSetup = accessSetup(s.access);
    s.outlook = section(root, "outlook");
    readOutlook(s);
    if (root.contains("faults"))
        eachEntry(root["faults"], "faults",
                  [&](const json& v, const std::string& f) { s.faults.push_back(faultOf(v, f)); });
    if (root.contains("foreignControls")) readForeignControls(root["foreignControls"], s);
    if (root.contains("steps"))
        eachEntry(root["steps"], "steps", [&](const json& v, const std::string& f) {
            s.steps.push_back(parseStep(v, f, s.foreignControls));
        });
    return s;
}

}  // namespace torva::emulator
