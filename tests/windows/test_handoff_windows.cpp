// The hand-off file and the launch with the real profile writer and the real
// shell: the stand-in plakora.exe is started from add-in folder layouts made
// around this test program and reports what it was given.
#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "handoff/modAddin.h"
#include "handoff/modIniFile.h"
#include "platform/Platform.h"
#include "base/Error.h"
#include "base/Text.h"
#include "support/modUtils.h"

using namespace torva;
namespace fs = std::filesystem;

namespace {

std::wstring wide(std::u16string_view s) { return {s.begin(), s.end()}; }
std::u16string u16(std::wstring_view s) { return {s.begin(), s.end()}; }

std::string ansi(std::u16string_view text) {
    const std::wstring w = wide(text);
    const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string base64Decode(std::string_view text) {
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else
            break;  // padding
        bits = (bits << 6) | static_cast<unsigned>(v);
        if ((count += 6) >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

// Paths as the system resolves them, compared without case.
bool samePath(const std::string& utf8, const fs::path& expected) {
    const auto full = [](const std::wstring& p) {
        wchar_t buffer[MAX_PATH * 2];
        const DWORD n = GetFullPathNameW(p.c_str(), MAX_PATH * 2, buffer, nullptr);
        return std::wstring(buffer, n);
    };
    return lstrcmpiW(full(wide(fromUtf8(utf8))).c_str(), full(expected.wstring()).c_str()) == 0;
}

std::set<std::wstring> tempNamesIn(const fs::path& folder) {
    std::set<std::wstring> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::wstring n = e.path().filename().wstring();
        if (n.rfind(L"rad", 0) == 0) names.insert(n);
    }
    return names;
}

// A file put in place for one test, and any folder made for it.
class Placed {
  public:
    Placed(const fs::path& from, const fs::path& to) : file_(to) {
        if (!fs::exists(to.parent_path())) {
            fs::create_directory(to.parent_path());
            madeFolder_ = true;
        }
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    }
    ~Placed() {
        std::error_code ignored;
        fs::remove(file_, ignored);
        if (madeFolder_) fs::remove(file_.parent_path(), ignored);
    }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;

  private:
    fs::path file_;
    bool madeFolder_ = false;
};

const std::regex kTempName("rad[0-9A-F]{5}\\.tmp");

class HandOffOnWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        temp_ = fs::path(wide(platform::tempFolder()));
        scratch_ = temp_ / ("torva-handoff-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(GetTickCount64()));
        fs::create_directories(scratch_);
        addin_ = fs::path(wide(platform::moduleFolder()));
        standin_ = addin_ / "standin" / "plakora.exe";
        record_ = scratch_ / "launches.jsonl";
        SetEnvironmentVariableW(L"TORVA_LAUNCH_RECORD", record_.wstring().c_str());
        savedWorkingFolder_ = WorkingFolder;
        WorkingFolder = u16(scratch_.wstring());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TORVA_LAUNCH_RECORD", nullptr);
        WorkingFolder = savedWorkingFolder_;
        std::error_code ignored;
        for (const auto& name : handOffs_) fs::remove(temp_ / name, ignored);
        fs::remove_all(scratch_, ignored);
    }

    // The stand-in finds the hand-off in the temporary folder, as the label
    // application does; launches write there.
    void workInTempFolder() { WorkingFolder = GetWorkingFolder(); }

    // ShellExecute does not wait; the stand-in's record line says it ran.
    std::optional<nlohmann::json> waitForLaunch(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        do {
            const std::string text = readBytes(record_);
            const auto eol = text.find('\n');
            if (eol != std::string::npos) {
                auto record = nlohmann::json::parse(text.substr(0, eol));
                if (record["arguments"].is_string())
                    handOffs_.push_back(
                        fs::path(wide(fromUtf8(record["arguments"].get<std::string>()))));
                return record;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < end);
        return std::nullopt;
    }

    fs::path temp_, scratch_, addin_, standin_, record_;
    std::vector<fs::path> handOffs_;
    std::u16string savedWorkingFolder_;
};

}  // namespace

// --- The file as WritePrivateProfileStringA writes it -------------------------

TEST_F(HandOffOnWindows, FileBytesForEachHost) {
    writeHandOffFile(u"word.tmp", 2, u"", u"", u"");
    EXPECT_EQ(readBytes(scratch_ / "word.tmp"),
              "[PLAKORA]\r\nRUNMODE=2\r\nDBFILE=\r\nDBCONNECT=\r\nDBSQL=\r\n");

    const std::u16string export_ = WorkingFolder + u"\\rad4F00D.tmp";
    writeHandOffFile(u"excel.tmp", 3, export_, u"", u"");
    EXPECT_EQ(readBytes(scratch_ / "excel.tmp"),
              "[PLAKORA]\r\nRUNMODE=3\r\nDBFILE=" + ansi(export_) + "\r\nDBCONNECT=\r\nDBSQL=\r\n");

    writeHandOffFile(u"access.tmp", 4, u"C:\\data\\shop.mdb", u"TABLE Orders",
                     u"SELECT * FROM [Orders]");
    EXPECT_EQ(readBytes(scratch_ / "access.tmp"),
              "[PLAKORA]\r\nRUNMODE=4\r\nDBFILE=C:\\data\\shop.mdb\r\nDBCONNECT=TABLE Orders\r\n"
              "DBSQL=SELECT * FROM [Orders]\r\n");
}

TEST_F(HandOffOnWindows, TextGoesThroughTheAnsiCodePage) {
    const std::u16string name = u"M\u00fcller \u20ac.tmp";
    const std::u16string value = u"Gr\u00fc\u00dfe x=\"1\";";
    writeHandOffFile(name, -5, value, u"", u"");
    const fs::path path = scratch_ / fs::path(wide(name));
    ASSERT_TRUE(fs::exists(path));
    const std::string bytes = readBytes(path);
    EXPECT_EQ(bytes,
              "[PLAKORA]\r\nRUNMODE=-5\r\nDBFILE=" + ansi(value) + "\r\nDBCONNECT=\r\nDBSQL=\r\n");
    if (GetACP() != CP_UTF8) {
        EXPECT_EQ(bytes.find(toUtf8(value)), std::string::npos) << "UTF-8 instead of ANSI";
    }
}

TEST_F(HandOffOnWindows, MissingWorkingFolderGivesError27AndNoFile) {
    const fs::path missing = scratch_ / "missing";
    WorkingFolder = u16(missing.wstring());
    try {
        launchLabelApplication(2, u"", u"", u"");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(static_cast<uint32_t>(e.hresult()), 0x800A001Bu);
        EXPECT_EQ(e.number(), kErrorHandOffWrite);
    }
    EXPECT_FALSE(fs::exists(missing));
}

// --- Starting the label application -----------------------------------------

TEST_F(HandOffOnWindows, StandInBesideTheAddinGetsTheBareNameAndTheAddinFolder) {
    ASSERT_TRUE(fs::exists(standin_)) << "the build puts the stand-in at " << standin_;
    Placed exe(standin_, addin_ / "plakora.exe");
    workInTempFolder();
    const fs::path data = scratch_ / "export data.txt";
    const std::string dataBytes("\xFF\xFEN\0r\0\t\0\r\0\n\0", 12);
    writeBytes(data, dataBytes);

    launchLabelApplication(3, u16(data.wstring()), u"", u"");

    const auto launch = waitForLaunch(std::chrono::seconds(10));
    ASSERT_TRUE(launch) << "plakora.exe left no record";
    const std::string name = (*launch)["arguments"].get<std::string>();
    EXPECT_TRUE(std::regex_match(name, kTempName)) << name;
    EXPECT_TRUE(samePath((*launch)["executable"], addin_ / "plakora.exe"))
        << (*launch)["executable"];
    EXPECT_TRUE(samePath((*launch)["directory"], addin_)) << (*launch)["directory"];

    const std::string expected = "[PLAKORA]\r\nRUNMODE=3\r\nDBFILE=" + ansi(u16(data.wstring())) +
                                 "\r\nDBCONNECT=\r\nDBSQL=\r\n";
    EXPECT_EQ(readBytes(temp_ / name), expected);
    EXPECT_EQ(base64Decode((*launch)["handoffBase64"].get<std::string>()), expected);
    EXPECT_EQ((*launch)["handoff"], toUtf8(platform::fromAnsi(expected)));
    EXPECT_TRUE(samePath((*launch)["dataFile"], data));
    EXPECT_EQ(base64Decode((*launch)["dataFileBase64"].get<std::string>()), dataBytes);
}

TEST_F(HandOffOnWindows, WithoutPlakoraBesideTheAddinTheTestexeCopyStarts) {
    ASSERT_TRUE(fs::exists(standin_)) << "the build puts the stand-in at " << standin_;
    ASSERT_FALSE(fs::exists(addin_ / "plakora.exe"));
    const fs::path testexe = addin_.parent_path() / "testexe";
    Placed exe(standin_, testexe / "plakora.exe");
    workInTempFolder();

    launchLabelApplication(4, u"C:\\no\\shop.mdb", u"TABLE Orders", u"SELECT * FROM [Orders]");

    const auto launch = waitForLaunch(std::chrono::seconds(10));
    ASSERT_TRUE(launch) << "plakora.exe left no record";
    const std::string name = (*launch)["arguments"].get<std::string>();
    EXPECT_TRUE(std::regex_match(name, kTempName)) << name;
    EXPECT_TRUE(samePath((*launch)["executable"], testexe / "plakora.exe"))
        << (*launch)["executable"];
    EXPECT_TRUE(samePath((*launch)["directory"], testexe)) << (*launch)["directory"];
    EXPECT_EQ(readBytes(temp_ / name),
              "[PLAKORA]\r\nRUNMODE=4\r\nDBFILE=C:\\no\\shop.mdb\r\nDBCONNECT=TABLE Orders\r\n"
              "DBSQL=SELECT * FROM [Orders]\r\n");
    EXPECT_EQ((*launch)["dataFile"], "C:\\no\\shop.mdb");
    EXPECT_TRUE((*launch)["dataFileBase64"].is_null());
}

TEST_F(HandOffOnWindows, WithNoExecutableAnywhereTheHandOffStaysAndNothingRuns) {
    ASSERT_FALSE(fs::exists(addin_ / "plakora.exe"));
    ASSERT_FALSE(fs::exists(addin_.parent_path() / "testexe" / "plakora.exe"));
    workInTempFolder();
    const auto before = tempNamesIn(temp_);

    launchLabelApplication(2, u"", u"", u"");

    std::vector<std::wstring> added;
    for (const auto& n : tempNamesIn(temp_))
        if (!before.count(n)) added.push_back(n);
    for (const auto& n : added) handOffs_.push_back(n);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(readBytes(temp_ / added[0]),
              "[PLAKORA]\r\nRUNMODE=2\r\nDBFILE=\r\nDBCONNECT=\r\nDBSQL=\r\n");
    EXPECT_FALSE(waitForLaunch(std::chrono::milliseconds(1500)));
}
