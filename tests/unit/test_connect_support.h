#pragma once
// What the command-bar and connect tests share: a scratch add-in folder with
// a string table, a scratch working folder, and the model's clipboard wired
// to the POSIX platform's recorded clipboard.

#include <sstream>

#include "Access.h"
#include "CommandBars.h"
#include "Excel.h"
#include "Hosts.h"
#include "Outlook.h"
#include "host/AddInTimer.h"
#include "host/ConnectClass.h"
#include "test_support_helpers.h"

namespace torva::test {

// Captions of the four hosts, as a translator would write them.
inline const char16_t* const kHostStrings =
    u"0900 Plakora\r\n"
    u"0910 Labels from Word\r\n0911 Word tip\r\n0912 Plakora (Word)...\r\n"
    u"0920 Labels from Excel\r\n0921 Excel tip\r\n0922 Plakora (Excel)...\r\n"
    u"0930 Labels from Access\r\n0931 Access tip\r\n0932 Plakora (Access)...\r\n"
    u"0940 Labels from Outlook\r\n0941 Outlook tip\r\n0942 Plakora (Outlook)...\r\n"
    u"0933 Open a database first.\r\n0934 Pick a table or a query first.\r\n"
    u"2300 Plakora notice\r\n2302 No plakora.exe beside %1\r\n2304 Failed: %1\r\n";

using testing::expectOneNotice;
using testing::readFile;

// A connect object of the host's class, and the COMAddIn Office passes it.
inline std::shared_ptr<ConnectClass> makeConnect(model::HostKind kind) {
    using enum model::HostKind;
    if (kind == Excel) return std::make_shared<TorvaExcelConnect>();
    if (kind == Word) return std::make_shared<TorvaWordConnect>();
    if (kind == Access) return std::make_shared<TorvaAccessConnect>();
    return std::make_shared<TorvaOutlookConnect>();
}
inline std::shared_ptr<model::COMAddIn> addInOf(model::HostKind kind) {
    return std::make_shared<model::COMAddIn>(
        u"TorvaAddIn.Torva" + model::hostName(kind) + u"Connect", u"d");
}

// The host's Application with its start-up bars: Access with `access`,
// Excel with `excel` as their documents.
inline std::shared_ptr<model::Application> makeHost(model::HostKind kind,
                                                    const model::HostOptions& options = {},
                                                    const model::AccessSetup& access = {},
                                                    const model::ExcelSetup& excel = {}) {
    using enum model::HostKind;
    auto bars = model::makeHostCommandBars(model::hostName(kind));
    if (kind == Access) return model::makeAccessApplication(bars, options, access);
    if (kind == Outlook) return model::makeOutlookApplication(bars, options, {});
    if (kind == Excel) return model::makeExcelApplication(bars, options, excel);
    return model::makeApplication(kind, bars, options);
}

// The Access start-up timer is process-wide: no test may leave it waiting
// for the next one.
inline void resetAddInTimer() {
    pendingConnectObject.reset();
    addInTimerId = 0;
}

class HostFolders {
  public:
    HostFolders() {
        char pattern[] = "/tmp/torva-host-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("no scratch folder");
        root = pattern;
        std::filesystem::create_directories(root / "work");
        std::filesystem::create_directories(root / "addin");
        testing::writeStringFile(root / "addin" / "Torva.Sys", kHostStrings);
        // Installed as it should be: Plakora beside the add-in.
        std::ofstream(root / "addin" / "plakora.exe", std::ios::binary) << "MZ";
        resetAddInTimer();
        auto& rec = platform::posix::recorder();
        rec.clear();
        rec.tempFolder = fromUtf8((root / "work").string());
        rec.moduleFolder = fromUtf8((root / "addin").string());
        testing::useRecordedClipboard();
    }
    ~HostFolders() {
        resetAddInTimer();
        model::setClipboardSource({});
        platform::posix::recorder().clear();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    HostFolders(const HostFolders&) = delete;
    HostFolders& operator=(const HostFolders&) = delete;

    // The log's lines, and those written since the last markLog().
    std::vector<std::string> logLines() const {
        std::vector<std::string> out;
        std::istringstream in(readFile(root / "work" / "torva.log"));
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    void markLog() { logMark_ = logLines().size(); }
    std::vector<std::string> newLogLines() const {
        const auto all = logLines();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(logMark_, all.size())),
                all.end()};
    }

    std::filesystem::path root;

  private:
    size_t logMark_ = 0;
};

// Each test with folders of its own.
class HostTest : public ::testing::Test {
  protected:
    void SetUp() override { folders_.emplace(); }
    void TearDown() override { folders_.reset(); }
    std::optional<HostFolders> folders_;
};

inline std::shared_ptr<model::CommandBars> barsOf(const model::Application& app) {
    return std::dynamic_pointer_cast<model::CommandBars>(app.commandBars());
}
// How many of the add-in's toolbars (named by string 0900) the host has.
inline size_t toolbarCount(const model::Application& app) {
    size_t n = 0;
    for (const auto& b : barsOf(app)->list()) n += b->name() == GetString(u"0900");
    return n;
}
// The Tools popup (Id 30007) of the named menu bar.
inline std::shared_ptr<model::CommandBarPopup> toolsOf(model::CommandBars& bars,
                                                       std::u16string_view menuBar) {
    auto menu = bars.find(menuBar);
    if (!menu) return nullptr;
    for (const auto& c : menu->controls()->list())
        if (c->id() == 30007 && c->controlType() == 10)
            return std::static_pointer_cast<model::CommandBarPopup>(c);
    return nullptr;
}

}  // namespace torva::test
