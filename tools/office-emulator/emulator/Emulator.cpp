#include "Emulator.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Access.h"
#include "BarsReport.h"
#include "ComBridge.h"
#include "CommandBars.h"
#include "Excel.h"
#include "Hosts.h"
#include "MessageBoxes.h"
#include "Outlook.h"
#include "RibbonHost.h"
#include "OutlookExplorers.h"
#include "WindowClass.h"
#include "platform/win/Com.h"
#include "platform/win/Extensibility.h"
#include "platform/win/Handle.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;
using win::ComPtr;

constexpr DWORD kLaunchesSettleMs = 10000;    // longest wait for started programs to finish
constexpr DWORD kLongestHandshakeMs = 60000;  // a waitFor step gives up after this
constexpr DWORD kLoadBehaviorStartup = 3;

std::string utf8(const std::wstring& s) {
    return toUtf8(reinterpret_cast<const char16_t*>(s.c_str()));
}
std::wstring wide(std::u16string_view s) {
    return {reinterpret_cast<const wchar_t*>(s.data()), s.size()};
}

std::string hex(HRESULT hr) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

// --- COM helpers ---------------------------------------------------------

class ComApartment {
  public:
    ComApartment() {
        win::throwIfFailed(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), u"CoInitializeEx");
    }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

// The custom argument of the add-in calls: a SAFEARRAY of VARIANT.
class Custom {
  public:
    explicit Custom(std::vector<long> values) {
        array_ = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
        if (!array_) win::throwIfFailed(E_OUTOFMEMORY, u"SafeArrayCreateVector");
        for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_I4;
            v.lVal = values[static_cast<size_t>(i)];
            win::throwIfFailed(SafeArrayPutElement(array_, &i, &v), u"SafeArrayPutElement");
        }
    }
    ~Custom() {
        if (array_) SafeArrayDestroy(array_);
    }
    Custom(const Custom&) = delete;
    Custom& operator=(const Custom&) = delete;
    SAFEARRAY** get() { return &array_; }

  private:
    SAFEARRAY* array_ = nullptr;
};

std::u16string errorInfoDescription(HRESULT hr) {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        win::Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put())) && !text.str().empty()) return text.str();
    }
    return win::hresultText(hr);
}

// --- the registry, read as Office reads it -------------------------------

struct Registered {
    std::wstring progId;
    std::wstring friendlyName;
    std::wstring description;
};

std::wstring regString(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring s(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(s.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    s.resize(wcsnlen(s.c_str(), s.size()));
    return s;
}

std::vector<Registered> registeredAddIns(const std::u16string& host, HKEY root) {
    std::vector<Registered> out;
    const std::wstring path = L"Software\\Microsoft\\Office\\" + wide(host) + L"\\Addins";
    win::UniqueHkey addins;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, addins.put()) != ERROR_SUCCESS) return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD len = 256;
        if (RegEnumKeyExW(addins.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        win::UniqueHkey key;
        if (RegOpenKeyExW(addins.get(), name, 0, KEY_READ, key.put()) != ERROR_SUCCESS) continue;
        DWORD behavior = 0, size = sizeof behavior, type = 0;
        if (RegQueryValueExW(key.get(), L"LoadBehavior", nullptr, &type,
                             reinterpret_cast<BYTE*>(&behavior), &size) != ERROR_SUCCESS ||
            type != REG_DWORD || behavior != kLoadBehaviorStartup)
            continue;
        out.push_back(Registered{name, regString(key.get(), L"FriendlyName"),
                                 regString(key.get(), L"Description")});
    }
    return out;
}

// The user's add-ins, then the machine's (HKLM, for every user); a ProgID
// that the user registered too is loaded once.
std::vector<Registered> registeredAddIns(const std::u16string& host) {
    std::vector<Registered> out = registeredAddIns(host, HKEY_CURRENT_USER);
    for (auto& machine : registeredAddIns(host, HKEY_LOCAL_MACHINE)) {
        if (std::none_of(out.begin(), out.end(), [&](const Registered& r) {
                return _wcsicmp(r.progId.c_str(), machine.progId.c_str()) == 0;
            }))
            out.push_back(std::move(machine));
    }
    return out;
}

// Windows reads the classes as one view, the user's (HKCU\Software\Classes)
// over the machine's; Wine reads only the machine's, so a class registered for
// one user would not be found. The add-in's class is looked up in that order
// here; a ProgID found in neither gets COM's own answer.
std::wstring classesValue(const std::wstring& key) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        win::UniqueHkey k;
        if (RegOpenKeyExW(root, (L"Software\\Classes\\" + key).c_str(), 0, KEY_READ, k.put()) ==
            ERROR_SUCCESS)
            return regString(k.get(), nullptr);
    }
    return {};
}

HRESULT addInClass(const std::wstring& progId, CLSID& clsid) {
    const std::wstring text = classesValue(progId + L"\\CLSID");
    if (text.empty()) return CLSIDFromProgID(progId.c_str(), &clsid);
    return CLSIDFromString(text.c_str(), &clsid);
}

std::wstring inprocServer(const CLSID& clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return classesValue(std::wstring(L"CLSID\\") + text + L"\\InprocServer32");
}

// --- files the add-in leaves ---------------------------------------------

std::wstring tempFolder() {
    wchar_t buf[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    return std::wstring(buf, n);
}

// The scenario's temp folder for this process and what it starts: made
// where missing, then TMP and TEMP (GetTempPathW reads them in that order).
void useTempFolder(const std::string& utf8Path) {
    const std::wstring path = wide(fromUtf8(utf8Path));
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", path.c_str());
    SetEnvironmentVariableW(L"TEMP", path.c_str());
}

std::string readBytes(const std::wstring& path, std::streamoff from = 0) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return {};
    in.seekg(from);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::streamoff fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<std::streamoff>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                       data.nFileSizeLow);
}

// The log is ANSI text.
ordered_json logLines(const std::string& added) {
    ordered_json lines = ordered_json::array();
    std::istringstream in(added);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const int n =
            MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), w.data(), n);
        lines.push_back(utf8(w));
    }
    return lines;
}

// --- the clipboard -------------------------------------------------------

class OpenedClipboard {
  public:
    OpenedClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    explicit operator bool() const { return open_; }

  private:
    bool open_;
};

std::optional<model::ClipboardPicture> clipboardBitmap() {
    OpenedClipboard clip;
    if (!clip) return std::nullopt;
    auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return std::nullopt;
    return model::ClipboardPicture{info.bmWidth, info.bmHeight};
}

void emptyClipboard() {
    OpenedClipboard clip;
    if (clip) EmptyClipboard();
}

// --- programs the add-in starts ------------------------------------------

// Every program started from here lands in this job, so the end of the run
// can wait until the stand-in has written its record.
class ChildJob {
  public:
    ChildJob() : job_(CreateJobObjectW(nullptr, nullptr)) {
        if (job_ && !AssignProcessToJobObject(job_.get(), GetCurrentProcess())) job_.reset();
    }
    // True when every child has ended within the time.
    bool settle(DWORD ms) {
        if (!job_) return false;
        const DWORD end = GetTickCount() + ms;
        for (;;) {
            JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
            if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &info,
                                           sizeof info, nullptr))
                return false;
            if (info.ActiveProcesses <= 1) return true;
            if (static_cast<LONG>(GetTickCount() - end) >= 0) return false;
            Sleep(20);
        }
    }

    // Programs started into the job so far, this process included; -1
    // where the job cannot tell.
    long started() {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
        if (!job_ || !QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation,
                                                &info, sizeof info, nullptr))
            return -1;
        return static_cast<long>(info.TotalProcesses);
    }

  private:
    win::UniqueHandleNull job_;
};

ordered_json launchRecords(const std::wstring& path) {
    ordered_json out = ordered_json::array();
    std::istringstream in(readBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        try {
            out.push_back(ordered_json::parse(line));
        } catch (const nlohmann::json::exception&) {
            out.push_back(ordered_json{{"unreadableRecord", line}});
        }
    }
    return out;
}

// --- the message loop ----------------------------------------------------

// Timer messages that went to code outside the emulator (the add-in's
// timers), so that a run can tell a timer that still ticks from one that stopped.
long& foreignTimerTicks() {
    static long n = 0;
    return n;
}

// Code whose module is not the emulator's (an unknown window procedure
// handle counts as outside too).
bool outsideEmulator(const void* code) {
    HMODULE m = nullptr;
    return !code ||
           !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCWSTR>(code), &m) ||
           m != GetModuleHandleW(nullptr);
}

void countTimer(const MSG& msg) {
    const void* code =
        msg.lParam ? reinterpret_cast<const void*>(msg.lParam)
        : msg.hwnd ? reinterpret_cast<const void*>(GetWindowLongPtrW(msg.hwnd, GWLP_WNDPROC))
                   : nullptr;
    if (outsideEmulator(code)) ++foreignTimerTicks();
}

void pumpFor(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER) countTimer(msg);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const LONG left = static_cast<LONG>(end - GetTickCount());
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    }
}

// The add-in's DLL as COM finds it: the InprocServer32 path of its class.
std::wstring addinPath(const std::wstring& progId) {
    CLSID clsid;
    if (FAILED(addInClass(progId, clsid))) return {};
    return inprocServer(clsid);
}

// That DLL, if it is loaded now.
HMODULE addinModule(const std::wstring& progId) {
    const std::wstring path = addinPath(progId);
    return path.empty() ? nullptr : GetModuleHandleW(path.c_str());
}

// Asks the add-in's DLL whether it could be unloaded now (DllCanUnloadNow);
// null when the DLL is not loaded or has no answer.
ordered_json canUnload(const std::wstring& progId) {
    HMODULE module = addinModule(progId);
    if (!module) return nullptr;
    using CanUnloadNow = HRESULT(WINAPI*)();
    // Through void* because FARPROC's signature is not the export's.
    auto entry = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    if (!entry) return nullptr;
    return entry() == S_OK;
}

// --- the host's main window ---------------------------------------------

// A real top-level window on the UI thread, as Office's main window: modal
// add-in windows must disable it, and input to a disabled window is lost.
// One per process, shown anew for each run: Wine takes seconds to destroy a
// shown top-level window, which a sweep of many runs cannot afford.
class HostWindow {
  public:
    using SecondPress = std::function<void(bool delivered)>;
    static HostWindow& forRun(const std::u16string& title, const WindowRect& place,
                              SecondPress onSecondPress) {
        static HostWindow window;
        window.onSecondPress_ = std::move(onSecondPress);
        HWND w = window.window_.get();
        SetWindowTextW(w, wide(title).c_str());
        MoveWindow(w, place.x, place.y, place.width, place.height, TRUE);
        EnableWindow(w, TRUE);
        ShowWindow(w, SW_SHOWNORMAL);
        SetForegroundWindow(w);
        SetActiveWindow(w);
        pumpFor(0);
        return window;
    }
    void endRun() { onSecondPress_ = {}; }

  private:
    HostWindow() {
        ensureWindowClass(L"TorvaOfficeEmulatorHost", proc);
        window_.reset(CreateWindowExW(0, L"TorvaOfficeEmulatorHost", L"", WS_OVERLAPPEDWINDOW, 40,
                                      40, 800, 600, nullptr, nullptr, GetModuleHandleW(nullptr),
                                      this));
        if (!window_) win::throwIfFailed(HRESULT_FROM_WIN32(GetLastError()), u"CreateWindowEx");
    }

  public:
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND get() const { return window_.get(); }
    bool enabled() const { return IsWindowEnabled(window_.get()) != FALSE; }
    bool active() const { return GetActiveWindow() == window_.get(); }
    RECT rect() const {
        RECT r{};
        GetWindowRect(window_.get(), &r);
        return r;
    }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (msg == ModalWatch::kSecondPress && self) {
            // Stands for a mouse click on the toolbar: a disabled window takes no input.
            const bool delivered = IsWindowEnabled(w) != FALSE;
            if (self->onSecondPress_) self->onSecondPress_(delivered);
            return 0;
        }
        if (msg == WM_CLOSE) return 0;  // the run ends the host, not the user
        return DefWindowProcW(w, msg, wp, lp);
    }
    SecondPress onSecondPress_;
    win::UniqueWindow window_;
};

// --- where the stand-in plakora.exe is ----------------------------------

constexpr wchar_t kAppPathsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\plakora.exe";

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The user's App Paths entry this run made, gone at the end (and from the
// start, should an earlier run have died with it in place).
class AppPathsEntry {
  public:
    AppPathsEntry() { RegDeleteKeyW(HKEY_CURRENT_USER, kAppPathsKey); }
    ~AppPathsEntry() { RegDeleteKeyW(HKEY_CURRENT_USER, kAppPathsKey); }
    AppPathsEntry(const AppPathsEntry&) = delete;
    AppPathsEntry& operator=(const AppPathsEntry&) = delete;
    void set(const std::wstring& executable) {
        win::UniqueHkey key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kAppPathsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            key.put(), nullptr) != ERROR_SUCCESS)
            throw Error::fromHResult(E_FAIL, u"App Paths entry not written");
        const std::wstring folder = folderOf(executable);
        RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(executable.c_str()),
                       static_cast<DWORD>((executable.size() + 1) * sizeof(wchar_t)));
        RegSetValueExW(key.get(), L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }
};

// Puts the stand-in where the scenario wants it, for the add-in in `folder`.
void placePlakora(PlakoraPlace place, const std::wstring& folder, AppPathsEntry& appPaths) {
    if (place == PlakoraPlace::Staged || folder.empty()) return;
    const std::wstring staged = folder + L"\\plakora.exe";
    if (place == PlakoraPlace::Missing) {
        DeleteFileW(staged.c_str());
    } else if (place == PlakoraPlace::Unstartable) {
        // A file of that name that is no program at all.
        std::ofstream(std::filesystem::path(staged), std::ios::binary) << "This is no program.\r\n";
    } else {
        const std::wstring own = folder + L"-plakora";
        CreateDirectoryW(own.c_str(), nullptr);
        const std::wstring moved = own + L"\\plakora.exe";
        MoveFileExW(staged.c_str(), moved.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        appPaths.set(moved);
    }
}

// --- one run -------------------------------------------------------------

inline void freeModule(HMODULE m) noexcept { FreeLibrary(m); }
using Module = win::UniqueHandle<HMODULE, freeModule>;

struct AddIn {
    Registered entry;
    std::shared_ptr<model::COMAddIn> instance;
    ComPtr<win::IDTExtensibility2> object;
    bool connected = false;
};

class Run {
  public:
    explicit Run(const Scenario& s)
        : scenario_(s),
          hostName_(model::hostName(s.host)),
          menuBar_(model::mainMenuBarName(hostName_)),
          bars_(model::makeHostCommandBars(hostName_)),
          foreign_(addForeignControls(*bars_, s.foreignControls)),
          baseline_(*bars_),
          boxes_(s.unansweredAfterMs),
          window_(HostWindow::forRun(hostName_, s.hostWindow,
                                     [this](bool delivered) { secondPress(delivered); })),
          ribbon_(s.host, s.officeVersion,
                  [this](const char* call, HRESULT hr, std::u16string description) {
                      failed(call, hr, std::move(description));
                  }) {
        boxes_.setHostWindow(window_.get());
        model::HostOptions options;
        options.mainWindow = reinterpret_cast<intptr_t>(window_.get());
        options.wrongApplication = s.wrongApplication;
        options.explorer = s.outlookExplorer;
        options.version = s.officeVersion;
        if (s.host == model::HostKind::Excel)
            app_ = model::makeExcelApplication(bars_, options, s.excelSetup);
        else if (s.host == model::HostKind::Access)
            app_ = model::makeAccessApplication(bars_, options, s.accessSetup);
        else if (s.host == model::HostKind::Outlook)
            app_ = outlook(model::makeOutlookApplication(bars_, options, s.outlookSetup));
        else
            app_ = model::makeApplication(s.host, bars_, options);
        // The window object a ribbon control names as its Context: Word's
        // document window, Outlook's explorer, a window of its own elsewhere.
        if (s.host == model::HostKind::Word)
            ribbonContext_ = app_->activeWindow();
        else if (s.host == model::HostKind::Outlook)
            ribbonContext_ = app_->explorer();
        else
            ribbonContext_ = std::make_shared<model::Window>(options.mainWindow);
    }

    ~Run() { window_.endRun(); }

    // Outlook's windows, the scenario's further explorers open from the start.
    std::shared_ptr<model::Application> outlook(std::shared_ptr<model::OutlookApplication> app) {
        explorers_ = std::make_unique<OutlookExplorers>(app, bars_, baseline_, window_.get());
        for (const auto& e : scenario_.moreExplorers) explorers_->open(e, false);
        return app;
    }

    // Before the baseline: like the host's own, they are not the add-in's.
    static std::vector<std::shared_ptr<model::CommandBarButton>> addForeignControls(
        model::CommandBars& bars, const std::vector<ForeignControl>& controls) {
        std::vector<std::shared_ptr<model::CommandBarButton>> out;
        for (const auto& c : controls) {
            auto bar = bars.find(c.bar);
            if (!bar) throw Error::fromHResult(E_INVALIDARG, u"no bar " + c.bar);
            auto button = std::static_pointer_cast<model::CommandBarButton>(
                bar->controls()->add(model::kMsoControlButton));
            button->setCaption(c.caption);
            button->put(u"Tag", model::Value{c.tag});
            out.push_back(std::move(button));
        }
        return out;
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    ordered_json play() {
        emptyClipboard();
        model::setClipboardSource(clipboardBitmap);
        if (scenario_.tempFolder) useTempFolder(*scenario_.tempFolder);
        const std::wstring temp = tempFolder();
        const std::wstring log = temp + L"torva.log";
        const std::streamoff logStart = fileSize(log);
        const std::wstring launches =
            temp + L"emulator-launches-" + std::to_wstring(GetCurrentProcessId()) + L".jsonl";
        DeleteFileW(launches.c_str());
        SetEnvironmentVariableW(L"TORVA_LAUNCH_RECORD", launches.c_str());

        const long outstandingBefore = bridgeCounts().outstandingReferences;
        invokeBefore_ = bridgeCounts().invoke;
        ticksBefore_ = foreignTimerTicks();
        lookupsBefore_ = bridgeCounts().getIDsOfNames;
        beginJournal(scenario_);
        for (const auto& button : foreign_) {
            const std::string caption = toUtf8(button->caption());
            foreignClicks_[caption] = 0;
            foreignSinks_.push_back(
                button->subscribe(model::kIidCommandBarButtonEvents,
                                  [this, caption](int32_t dispid, std::vector<model::Value>&) {
                                      if (dispid == model::kDispIdClick) ++foreignClicks_[caption];
                                  }));
        }
        for (auto& entry : registeredAddIns(hostName_)) load(std::move(entry));
        for (const auto& a : addins_)
            placePlakora(scenario_.plakora, folderOf(addinPath(a.entry.progId)), appPaths_);
        app_->explorerActive = scenario_.explorerAtStartup;
        setJournalPhase("startup");
        for (auto& a : addins_) startUp(a);
        app_->explorerActive = true;
        for (size_t i = 0; i < scenario_.steps.size(); ++i) {
            setJournalPhase("step " + std::to_string(i));
            perform(i, scenario_.steps[i]);
        }
        setJournalPhase("shutdown");

        ordered_json addins = ordered_json::array();
        for (auto& a : addins_)
            addins.push_back({{"progId", utf8(a.entry.progId)},
                              {"friendlyName", utf8(a.entry.friendlyName)},
                              {"connected", a.connected}});
        std::vector<std::wstring> progIds;
        for (auto& a : addins_) progIds.push_back(a.entry.progId);
        app_->explorerActive = scenario_.explorerAtShutdown;
        for (auto& a : addins_) shutDown(a);
        addins_.clear();
        pumpFor(0);
        model::setClipboardSource({});

        const bool settled = children_.settle(kLaunchesSettleMs);
        ordered_json report;
        report["host"] = toUtf8(hostName_);
        report["ansiCodePage"] = GetACP();
        report["addins"] = std::move(addins);
        report["commandBars"] = commandBars();
        report["toolsMenu"] = toolsMenu();
        report["clipboard"] = clipboardJson();
        report["messageBoxes"] = messageBoxesJson();
        report["dialogs"] = dialogsJson();
        report["launches"] = launchRecords(launches);
        report["launchesSettled"] = settled;
        report["log"] = logLines(readBytes(log, logStart));
        report["hostCallFailures"] = failures_;
        report["stepProblems"] = problems_;
        report["snapshots"] = snapshots_;
        report["foreignClicks"] = ordered_json(foreignClicks_);
        report["ribbon"] = ribbon_.report();
        inspectors_.clear();
        // What the add-in still holds once it was released and the host let go of its own.
        exposed_.clear();
        const BridgeCounts counts = bridgeCounts();
        ordered_json unload = ordered_json::object();
        for (const auto& id : progIds) unload[utf8(id)] = canUnload(id);
        // What Office does from time to time: unload what says it may go.
        CoFreeUnusedLibrariesEx(0, 0);
        report["references"] = {
            {"outstandingAtExit", counts.outstandingReferences - outstandingBefore},
            {"addinsCanUnload", std::move(unload)}};
        report["automationCalls"] = {{"invoke", counts.invoke - invokeBefore_},
                                     {"getIDsOfNames", counts.getIDsOfNames - lookupsBefore_}};
        report["calls"] = journalCalls();
        report["hostWindow"] = {{"enabled", window_.enabled()},
                                {"handle", handleJson(window_.get())},
                                {"rect", rectJson(window_.rect())}};
        report["presses"] = presses_;
        report["timerTicks"] = foreignTimerTicks() - ticksBefore_;
        if (explorers_) report["explorers"] = explorers_->explorers();
        if (auto* access = dynamic_cast<model::AccessApplication*>(app_.get()))
            report["access"] = {{"currentDbCalls", access->currentDbCalls()}};
        DeleteFileW(launches.c_str());
        return report;
    }

  private:
    void failed(const char* call, HRESULT hr, std::u16string description,
                std::optional<HRESULT> returned = std::nullopt) {
        ordered_json f = {
            {"call", call}, {"hresult", hex(hr)}, {"description", toUtf8(description)}};
        // For an event: what the sink's Invoke itself returned.
        if (returned) f["returned"] = hex(*returned);
        failures_.push_back(std::move(f));
    }

    void secondPress(bool delivered) {
        for (auto& d : boxes_.seenDialogs())
            if (d.secondPress == "pending") d.secondPress = delivered ? "delivered" : "blocked";
        if (delivered) click(scenario_.steps.size(), step::Click{step::Click::Button, {}, {}});
    }

    // One call into the add-in; a failure is noted, never thrown.
    template <class F>
    bool hostCall(const char* name, F&& f) {
        SetErrorInfo(0, nullptr);
        const HRESULT hr = f();
        if (SUCCEEDED(hr)) {
            pumpFor(0);
            return true;
        }
        failed(name, hr, errorInfoDescription(hr));
        pumpFor(0);
        return false;
    }

    IDispatch* exposed(const model::ObjectRef& o) {
        auto d = expose(o);
        exposed_.push_back(d);
        return d.get();
    }

    void load(Registered entry) {
        AddIn a;
        a.entry = std::move(entry);
        a.instance = std::make_shared<model::COMAddIn>(
            std::u16string(reinterpret_cast<const char16_t*>(a.entry.progId.c_str())),
            std::u16string(reinterpret_cast<const char16_t*>(a.entry.description.c_str())));
        addins_.push_back(std::move(a));
    }

    bool create(AddIn& a) {
        if (!bridgeAvailable())
            throw Error::fromHResult(E_NOTIMPL, u"this build has no COM adapter for the model");
        CLSID clsid;
        HRESULT hr = addInClass(a.entry.progId, clsid);
        if (FAILED(hr)) {
            failed("CLSIDFromProgID", hr, win::hresultText(hr));
            return false;
        }
        ComPtr<IUnknown> unknown;
        hr =
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.putVoid());
        if (hr == REGDB_E_CLASSNOTREG) hr = createFromServer(clsid, unknown);
        if (FAILED(hr)) {
            failed("CoCreateInstance", hr, win::hresultText(hr));
            return false;
        }
        hr = unknown.queryTo(win::IID_IDTExtensibility2, a.object.putVoid());
        if (FAILED(hr)) {
            failed("QueryInterface", hr, win::hresultText(hr));
            return false;
        }
        return true;
    }

    // A class that only the user's view holds: its server's class factory, as
    // COM would call it. The server stays loaded until the run ends, as COM
    // keeps it until the apartment ends.
    HRESULT createFromServer(const CLSID& clsid, ComPtr<IUnknown>& unknown) {
        const std::wstring server = inprocServer(clsid);
        if (server.empty()) return REGDB_E_CLASSNOTREG;
        Module module(LoadLibraryW(server.c_str()));
        if (!module) return HRESULT_FROM_WIN32(GetLastError());
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        // Through void* because FARPROC's signature is not the export's.
        auto getClassObject = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(module.get(), "DllGetClassObject")));
        if (!getClassObject) return CO_E_ERRORINDLL;
        servers_.push_back(std::move(module));
        ComPtr<IClassFactory> factory;
        const HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.putVoid());
        if (FAILED(hr)) return hr;
        return factory->CreateInstance(nullptr, IID_IUnknown, unknown.putVoid());
    }

    void connect(AddIn& a, win::ext_ConnectMode mode) {
        if (!a.object && !create(a)) return;
        Custom custom({1});
        IDispatch* app = exposed(app_);
        IDispatch* inst = exposed(a.instance);
        a.connected = hostCall(
            "OnConnection", [&] { return a.object->OnConnection(app, mode, inst, custom.get()); });
        a.instance->connected = a.connected;
        // Office 2007 and later ask for the add-in's Ribbon right after it connected.
        if (a.connected) {
            ribbon_.load(key(a), a.object.get(), ribbonContext_);
            pumpFor(0);
        }
    }

    template <class F>
    void eachConnected(const char* name, F&& f) {
        for (auto& a : addins_) {
            if (!a.connected) continue;
            Custom custom({});
            hostCall(name, [&] { return f(*a.object.get(), custom.get()); });
        }
    }

    void disconnect(AddIn& a, win::ext_DisconnectMode mode) {
        if (!a.connected) return;
        Custom custom({});
        hostCall("OnDisconnection", [&] { return a.object->OnDisconnection(mode, custom.get()); });
        ribbon_.unload(key(a));
        a.connected = false;
        a.instance->connected = false;
        // Office lets go of a disconnected add-in; connecting again makes a new one.
        a.object.reset();
    }

    void startUp(AddIn& a) {
        connect(a, win::ext_cm_Startup);
        if (!a.connected) return;
        Custom custom({});
        hostCall("OnAddInsUpdate", [&] { return a.object->OnAddInsUpdate(custom.get()); });
        hostCall("OnStartupComplete", [&] { return a.object->OnStartupComplete(custom.get()); });
    }

    void shutDown(AddIn& a) {
        if (a.connected) {
            Custom custom({});
            hostCall("OnBeginShutdown", [&] { return a.object->OnBeginShutdown(custom.get()); });
        }
        disconnect(a, win::ext_dm_HostShutdown);
        a.object.reset();
    }

    static std::u16string key(const AddIn& a) {
        return {reinterpret_cast<const char16_t*>(a.entry.progId.c_str())};
    }

    void problem(size_t step, std::string what) {
        problems_.push_back({{"step", step}, {"problem", std::move(what)}});
    }

    std::shared_ptr<model::CommandBarButton> foreignButton(const std::u16string& caption) const {
        for (const auto& b : foreign_)
            if (b->caption() == caption && !b->deleted()) return b;
        return nullptr;
    }

    void click(size_t index, const step::Click& what) {
        auto bars = app_->commandBars();
        auto* commandBars = dynamic_cast<model::CommandBars*>(bars.get());
        const Baseline* baseline = &baseline_;
        std::optional<size_t> explorer;
        if (explorers_ && what.target != step::Click::Foreign &&
            what.target != step::Click::Ribbon) {
            // Outlook: the press happens in one explorer window.
            explorer = explorers_->target(what.explorer);
            commandBars = explorer ? &explorers_->bars(*explorer) : nullptr;
            if (explorer) baseline = &explorers_->baseline(*explorer);
        }
        std::shared_ptr<model::CommandBarButton> button;
        if (what.target == step::Click::Ribbon) {
            if (!ribbon_.hasButton(what.caption))
                problem(index, "no ribbon button with the id " + toUtf8(what.caption));
            else
                press(index, "ribbon", [&] { ribbon_.click(what.caption); });
            return;
        }
        if (what.target == step::Click::Foreign)
            button = foreignButton(what.caption);
        else if (commandBars)
            button = what.target == step::Click::Button ? findToolbarButton(*commandBars, *baseline)
                                                        : findMenuEntry(*commandBars, menuBar_);
        if (!button) {
            problem(index, what.target == step::Click::Button ? "no toolbar button to click"
                           : what.target == step::Click::Menu ? "no Tools-menu entry to click"
                                                              : "no foreign control to click");
            return;
        }
        auto fire = [&] {
            try {
                button->click();
            } catch (const Error& e) {
                failed("Click", e.hresult(), e.description(), lastEventReturn());
            }
        };
        if (what.target == step::Click::Foreign) {
            fire();
            pumpFor(0);
            return;
        }
        press(index, what.target == step::Click::Button ? "button" : "menu", fire);
        if (explorer) presses_.back()["explorer"] = *explorer;
    }

    // One press of the add-in's button, menu entry or ribbon button, and what
    // it ended in: programs started, notices, dialogs.
    template <class F>
    void press(size_t index, const char* target, F&& fire) {
        const size_t dialogsBefore = boxes_.seenDialogs().size();
        const size_t boxesBefore = boxes_.seen().size();
        const long startedBefore = children_.started();
        fire();
        pumpFor(0);
        const long startedAfter = children_.started();
        auto& dialogs = boxes_.seenDialogs();
        ordered_json answers = ordered_json::array();
        for (size_t i = dialogsBefore; i < dialogs.size(); ++i) {
            dialogs[i].hostEnabledAfter = window_.enabled();
            dialogs[i].hostActiveAfter = window_.active();
            answers.push_back(dialogs[i].pressed);
        }
        presses_.push_back({{"step", index},
                            {"target", target},
                            {"launches", startedBefore < 0 || startedAfter < 0
                                             ? ordered_json(nullptr)
                                             : ordered_json(startedAfter - startedBefore)},
                            {"notices", boxes_.seen().size() - boxesBefore},
                            {"dialogs", std::move(answers)}});
    }

    void perform(size_t index, const Step& s) {
        using step::HostCall;
        if (auto* c = std::get_if<step::Click>(&s)) {
            click(index, *c);
        } else if (auto* call = std::get_if<step::Call>(&s)) {
            switch (call->call) {
                case HostCall::AddInsUpdate:
                    eachConnected("OnAddInsUpdate",
                                  [](auto& o, SAFEARRAY** c) { return o.OnAddInsUpdate(c); });
                    break;
                case HostCall::StartupComplete:
                    eachConnected("OnStartupComplete",
                                  [](auto& o, SAFEARRAY** c) { return o.OnStartupComplete(c); });
                    break;
                case HostCall::BeginShutdown:
                    eachConnected("OnBeginShutdown",
                                  [](auto& o, SAFEARRAY** c) { return o.OnBeginShutdown(c); });
                    break;
                case HostCall::Disconnect:
                    for (auto& a : addins_) disconnect(a, win::ext_dm_UserClosed);
                    break;
                case HostCall::Connect:
                    for (auto& a : addins_)
                        if (!a.connected) connect(a, win::ext_cm_AfterStartup);
                    break;
            }
        } else if (auto* open = std::get_if<step::OpenExplorer>(&s)) {
            if (!explorers_)
                problem(index, "only Outlook has explorers");
            else
                explorers_->open(open->setup, true);
            pumpFor(0);
        } else if (auto* close = std::get_if<step::CloseExplorer>(&s)) {
            if (!explorers_ || !explorers_->close(static_cast<size_t>(close->explorer)))
                problem(index, "no open explorer of that number to close");
            pumpFor(0);
        } else if (auto* w = std::get_if<step::Wait>(&s)) {
            pumpFor(static_cast<DWORD>(w->milliseconds));
        } else if (auto* inspector = std::get_if<step::OpenInspector>(&s)) {
            if (scenario_.host != model::HostKind::Outlook) {
                problem(index, "only Outlook has inspectors");
            } else {
                inspectors_.push_back(std::make_shared<model::Object>(u"Inspector"));
                ribbon_.openInspector(inspector->ribbonId, inspectors_.back());
                pumpFor(0);
            }
        } else if (auto* m = std::get_if<step::MessageBoxAnswer>(&s)) {
            boxes_.queueAnswer(m->press);
        } else if (auto* d = std::get_if<step::DialogAnswer>(&s)) {
            boxes_.queueDialogAnswer({d->select, d->option, d->press});
        } else if (std::holds_alternative<step::ClickWhileDialog>(s)) {
            boxes_.queueSecondPress();
        } else if (auto* sig = std::get_if<step::Signal>(&s)) {
            std::ofstream file(std::filesystem::path(wide(sig->path)), std::ios::binary);
            if (!file) problem(index, "signal file not made");
        } else if (auto* w = std::get_if<step::WaitFor>(&s)) {
            const DWORD end = GetTickCount() + kLongestHandshakeMs;
            while (GetFileAttributesW(wide(w->path).c_str()) == INVALID_FILE_ATTRIBUTES) {
                if (static_cast<LONG>(GetTickCount() - end) >= 0) {
                    problem(index, "the file waited for never came");
                    break;
                }
                pumpFor(20);
            }
        } else if (auto* snap = std::get_if<step::Snapshot>(&s)) {
            // Also what DllCanUnloadNow says now and how many calls the add-in made so far.
            ordered_json unload = ordered_json::object();
            for (const auto& a : addins_) unload[utf8(a.entry.progId)] = canUnload(a.entry.progId);
            snapshots_[snap->label] = {{"commandBars", commandBars()},
                                       {"toolsMenu", toolsMenu()},
                                       {"addinsCanUnload", std::move(unload)},
                                       {"invoke", bridgeCounts().invoke - invokeBefore_},
                                       {"timerTicks", foreignTimerTicks() - ticksBefore_},
                                       {"foreignClicks", ordered_json(foreignClicks_)}};
        }
    }

    ordered_json commandBars() const {
        if (explorers_) return explorers_->commandBars();
        auto* bars = dynamic_cast<model::CommandBars*>(app_->commandBars().get());
        return bars ? commandBarsJson(*bars, baseline_) : ordered_json::array();
    }
    ordered_json toolsMenu() const {
        if (explorers_) return explorers_->toolsMenu(menuBar_);
        auto* bars = dynamic_cast<model::CommandBars*>(app_->commandBars().get());
        return bars ? toolsMenuJson(*bars, menuBar_, baseline_) : ordered_json::array();
    }
    static ordered_json clipboardJson() {
        auto picture = clipboardBitmap();
        if (!picture) return nullptr;
        return {{"format", "bitmap"}, {"width", picture->width}, {"height", picture->height}};
    }
    static ordered_json handleJson(HWND h) {
        if (!h) return nullptr;
        return static_cast<long long>(reinterpret_cast<intptr_t>(h));
    }
    static ordered_json rectJson(const RECT& r) {
        return {
            {"x", r.left}, {"y", r.top}, {"width", r.right - r.left}, {"height", r.bottom - r.top}};
    }
    ordered_json messageBoxesJson() const {
        ordered_json out = ordered_json::array();
        for (const auto& b : boxes_.seen())
            out.push_back({{"title", toUtf8(b.title)},
                           {"text", toUtf8(b.text)},
                           {"style", b.style},
                           {"pressed", b.pressed},
                           {"answered", b.answered},
                           {"owner", handleJson(b.window.owner)},
                           {"hostWindowDisabledWhileShown", b.window.hostDisabledWhileShown},
                           {"rect", rectJson(b.window.rect)}});
        return out;
    }

    ordered_json dialogsJson() const {
        ordered_json out = ordered_json::array();
        for (const auto& d : boxes_.seenDialogs()) {
            ordered_json entries = ordered_json::array();
            for (const auto& e : d.entries) entries.push_back(toUtf8(e));
            out.push_back({{"title", toUtf8(d.title)},
                           {"entries", std::move(entries)},
                           {"okEnabled", d.okEnabled},
                           {"optionsEnabled", d.optionsEnabled},
                           {"businessChecked", d.businessChecked},
                           {"rightToLeft", d.rightToLeft},
                           {"hasIcon", d.hasIcon},
                           {"selectedAtOpen", d.selectedAtOpen},
                           {"selected", d.selected},
                           {"option", d.option},
                           {"pressed", d.pressed},
                           {"answered", d.answered},
                           {"hostWindow",
                            {{"disabledWhileShown", d.hostDisabledWhileShown},
                             {"enabledAfter", d.hostEnabledAfter},
                             {"activeAfter", d.hostActiveAfter},
                             {"secondPress", d.secondPress.empty() ? ordered_json(nullptr)
                                                                   : ordered_json(d.secondPress)}}},
                           {"owner", handleJson(d.window.owner)},
                           {"hostWindowDisabledWhileShown", d.window.hostDisabledWhileShown},
                           {"rect", rectJson(d.window.rect)},
                           {"taskbarButton", d.window.taskbarButton}});
        }
        return out;
    }

    // First, so that the servers are unloaded after everything they made is gone.
    std::vector<Module> servers_;
    const Scenario& scenario_;
    std::u16string hostName_;
    std::u16string menuBar_;
    std::shared_ptr<model::CommandBars> bars_;
    std::vector<std::shared_ptr<model::CommandBarButton>> foreign_;
    std::vector<automation::Subscription> foreignSinks_;
    std::map<std::string, long> foreignClicks_;
    Baseline baseline_;
    std::shared_ptr<model::Application> app_;
    std::unique_ptr<OutlookExplorers> explorers_;
    ModalWatch boxes_;
    HostWindow& window_;
    ChildJob children_;
    long invokeBefore_ = 0;
    long ticksBefore_ = 0;
    long lookupsBefore_ = 0;
    std::vector<AddIn> addins_;
    std::vector<ComPtr<IDispatch>> exposed_;
    ordered_json failures_ = ordered_json::array();
    ordered_json problems_ = ordered_json::array();
    ordered_json snapshots_ = ordered_json::object();
    ordered_json presses_ = ordered_json::array();
    AppPathsEntry appPaths_;
    model::ObjectRef ribbonContext_;
    std::vector<model::ObjectRef> inspectors_;
    // Last: released first, before the add-ins it may still hold.
    RibbonHost ribbon_;
};
}  // namespace

ordered_json runScenario(const Scenario& scenario) {
    ComApartment apartment;
    Run run(scenario);
    return run.play();
}

}  // namespace torva::emulator
