#include "MessageBoxes.h"

#include <algorithm>
#include <array>

#include "addressbook/win/AddressBookWindow.h"

namespace torva::emulator {

namespace {
ModalWatch* g_watch = nullptr;  // hook procedures carry no context

constexpr UINT kAnswerDelayMs = 100;  // lets the box finish showing first

struct ButtonName {
    int id;
    const char* name;
};
constexpr std::array<ButtonName, 7> kButtons = {{{IDOK, "OK"},
                                                 {IDCANCEL, "Cancel"},
                                                 {IDABORT, "Abort"},
                                                 {IDRETRY, "Retry"},
                                                 {IDIGNORE, "Ignore"},
                                                 {IDYES, "Yes"},
                                                 {IDNO, "No"}}};

std::u16string windowText(HWND w) {
    if (!w) return {};
    const int n = GetWindowTextLengthW(w);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(w, s.data(), n + 1);
    return {reinterpret_cast<const char16_t*>(s.data()), static_cast<size_t>(std::max(got, 0))};
}

bool hasButton(HWND box, int id) {
    HWND b = GetDlgItem(box, id);
    return b && (GetWindowLongW(b, GWL_STYLE) & WS_VISIBLE);
}

unsigned buttonsStyle(HWND box) {
    const bool ok = hasButton(box, IDOK), cancel = hasButton(box, IDCANCEL),
               yes = hasButton(box, IDYES), no = hasButton(box, IDNO),
               abort = hasButton(box, IDABORT), retry = hasButton(box, IDRETRY);
    if (abort) return MB_ABORTRETRYIGNORE;
    if (yes && no) return cancel ? MB_YESNOCANCEL : MB_YESNO;
    if (retry) return MB_RETRYCANCEL;
    if (ok && cancel) return MB_OKCANCEL;
    return MB_OK;
}

struct IconSearch {
    HICON found = nullptr;
};

BOOL CALLBACK findIcon(HWND child, LPARAM lp) {
    auto* search = reinterpret_cast<IconSearch*>(lp);
    if (HICON icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0))) {
        search->found = icon;
        return FALSE;
    }
    return TRUE;
}

// The icon is one of the shared system icons; which one tells the MB_ICON bits.
unsigned iconStyle(HWND box) {
    IconSearch search;
    EnumChildWindows(box, findIcon, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 0;
    const std::array<std::pair<LPCWSTR, unsigned>, 4> icons = {
        {{IDI_HAND, MB_ICONHAND},
         {IDI_QUESTION, MB_ICONQUESTION},
         {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
         {IDI_ASTERISK, MB_ICONASTERISK}}};
    for (const auto& [name, style] : icons)
        if (LoadIconW(nullptr, name) == search.found) return style;
    return 0;
}

std::wstring className(HWND w) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    return cls;
}
bool isMessageBox(HWND w) { return className(w) == L"#32770"; }
bool isAddressBook(HWND w) { return className(w) == win::kAddressBookClass; }

std::u16string listEntry(HWND list, int i) {
    const LRESULT n = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (n == LB_ERR) return {};
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(n));
    return {reinterpret_cast<const char16_t*>(s.data()), s.size()};
}

// Owner, place and whether the host's window took input while it showed.
SeenWindow seenWindow(HWND window, HWND host) {
    SeenWindow seen;
    seen.owner = GetWindow(window, GW_OWNER);
    GetWindowRect(window, &seen.rect);
    seen.hostDisabledWhileShown = host && !IsWindowEnabled(host);
    const LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE);
    seen.taskbarButton = (ex & WS_EX_APPWINDOW) || (!seen.owner && !(ex & WS_EX_TOOLWINDOW));
    return seen;
}

bool checked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
}  // namespace

ModalWatch::ModalWatch(unsigned unansweredAfterMs) : unansweredAfterMs_(unansweredAfterMs) {
    g_watch = this;
    hook_ = SetWindowsHookExW(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
}

ModalWatch::~ModalWatch() {
    if (hook_) UnhookWindowsHookEx(hook_);
    for (const auto& p : pending_) KillTimer(nullptr, p.timer);
    g_watch = nullptr;
}

LRESULT CALLBACK ModalWatch::cbtProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE && g_watch) g_watch->activated(reinterpret_cast<HWND>(wp));
    return CallNextHookEx(nullptr, code, wp, lp);
}

void CALLBACK ModalWatch::timerProc(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_watch) g_watch->answer(id);
}

void ModalWatch::activated(HWND window) {
    // Activation repeats whenever the window gets the focus back: once is enough.
    if (std::find(known_.begin(), known_.end(), window) != known_.end()) return;
    Pending p{window, 0, false, {}, {}};
    if (isAddressBook(window)) {
        p.isDialog = true;
        if (!dialogAnswers_.empty()) {
            p.dialog = dialogAnswers_.front();
            p.press = p.dialog->press;
            dialogAnswers_.pop_front();
        }
    } else if (isMessageBox(window)) {
        if (!answers_.empty()) {
            p.press = answers_.front();
            answers_.pop_front();
        }
    } else {
        return;
    }
    known_.push_back(window);
    p.timer =
        SetTimer(nullptr, 0, p.press.empty() ? unansweredAfterMs_ : kAnswerDelayMs, timerProc);
    pending_.push_back(std::move(p));
}

void ModalWatch::answer(UINT_PTR timer) {
    KillTimer(nullptr, timer);
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [&](const Pending& p) { return p.timer == timer; });
    if (it == pending_.end()) return;
    Pending p = *it;
    pending_.erase(it);
    if (!IsWindow(p.window)) return;
    if (p.isDialog)
        answerDialog(p.window, p.dialog ? &*p.dialog : nullptr);
    else
        answerBox(p.window, p.press);
}

void ModalWatch::answerBox(HWND box, const std::string& press) {
    SeenMessageBox seen;
    seen.window = seenWindow(box, host_);
    seen.title = windowText(box);
    seen.text = windowText(GetDlgItem(box, 0xFFFF));
    seen.style = buttonsStyle(box) | iconStyle(box);
    seen.answered = !press.empty();
    // The asked-for button, else what closes the box as Escape would.
    int id = 0;
    for (const auto& b : kButtons)
        if (press == b.name && hasButton(box, b.id)) id = b.id;
    if (!id) id = hasButton(box, IDOK) ? IDOK : IDCANCEL;
    for (const auto& b : kButtons)
        if (b.id == id) seen.pressed = b.name;
    seen_.push_back(std::move(seen));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

// Reads what the dialog shows, then marks, clicks and presses as a user
// would; an unanswered dialog is cancelled.
void ModalWatch::answerDialog(HWND dialog, const DialogAnswer* answer) {
    SeenDialog seen;
    seen.window = seenWindow(dialog, host_);
    HWND list = GetDlgItem(dialog, win::kIdList);
    seen.title = windowText(dialog);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) seen.entries.push_back(listEntry(list, i));
    seen.okEnabled = IsWindowEnabled(GetDlgItem(dialog, win::kIdOK)) != FALSE;
    seen.optionsEnabled = IsWindowEnabled(GetDlgItem(dialog, win::kIdBusiness)) != FALSE &&
                          IsWindowEnabled(GetDlgItem(dialog, win::kIdPrivate)) != FALSE;
    seen.businessChecked = checked(dialog, win::kIdBusiness);
    seen.rightToLeft = (GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
    seen.hasIcon = SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0) != 0 &&
                   SendMessageW(dialog, WM_GETICON, ICON_BIG, 0) != 0;
    seen.answered = answer != nullptr;
    seen.hostDisabledWhileShown = host_ && !IsWindowEnabled(host_);
    if (secondPressQueued_ && host_) {
        // Ahead of the answer: the host window handles it while the dialog is still up.
        secondPressQueued_ = false;
        seen.secondPress = "pending";
        PostMessageW(host_, kSecondPress, 0, 0);
    }
    auto marked = [&] {
        std::vector<int> out;
        for (int i = 0; i < count; ++i)
            if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) out.push_back(i);
        return out;
    };
    seen.selectedAtOpen = marked();

    if (answer) {
        if (answer->select) {
            SendMessageW(list, LB_SETSEL, FALSE, -1);  // -1: every entry
            for (int i : *answer->select)
                SendMessageW(list, LB_SETSEL, TRUE, static_cast<LPARAM>(i));
        }
        if (!answer->option.empty())
            SendMessageW(GetDlgItem(dialog, answer->option == "private" ? win::kIdPrivate
                                                                        : win::kIdBusiness),
                         BM_CLICK, 0, 0);
    }
    seen.selected = marked();
    seen.option = checked(dialog, win::kIdBusiness)  ? "business"
                  : checked(dialog, win::kIdPrivate) ? "private"
                                                     : "none";
    seen.pressed = answer ? answer->press : "Cancel";
    const int button = seen.pressed == "OK" ? win::kIdOK : win::kIdCancel;
    if (seen.pressed == "close" || !IsWindowEnabled(GetDlgItem(dialog, button))) {
        // A disabled button takes no click; the close box still ends the dialog.
        if (seen.pressed != "close") seen.pressed += " (disabled), then close";
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
        PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    }
    seenDialogs_.push_back(std::move(seen));
}

}  // namespace torva::emulator
