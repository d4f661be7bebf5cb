#include "MessageBoxes.h"

#include <algorithm>
#include <array>

namespace torva::emulator {

namespace {
MessageBoxWatch* g_watch = nullptr;  // hook procedures carry no context

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

bool isDialog(HWND w) {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    return std::wstring_view(cls) == L"#32770";
}
}  // namespace

MessageBoxWatch::MessageBoxWatch(unsigned unansweredAfterMs)
    : unansweredAfterMs_(unansweredAfterMs) {
    g_watch = this;
    hook_ = SetWindowsHookExW(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
}

MessageBoxWatch::~MessageBoxWatch() {
    if (hook_) UnhookWindowsHookEx(hook_);
    for (const auto& p : pending_) KillTimer(nullptr, p.timer);
    g_watch = nullptr;
}

LRESULT CALLBACK MessageBoxWatch::cbtProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE && g_watch) g_watch->activated(reinterpret_cast<HWND>(wp));
    return CallNextHookEx(nullptr, code, wp, lp);
}

void CALLBACK MessageBoxWatch::timerProc(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_watch) g_watch->answer(id);
}

void MessageBoxWatch::activated(HWND box) {
    // Activation repeats whenever the box gets the focus back: once is enough.
    if (!isDialog(box) || std::find(known_.begin(), known_.end(), box) != known_.end()) return;
    known_.push_back(box);
    Pending p{box, 0, {}};
    if (!answers_.empty()) {
        p.press = answers_.front();
        answers_.pop_front();
    }
    p.timer =
        SetTimer(nullptr, 0, p.press.empty() ? unansweredAfterMs_ : kAnswerDelayMs, timerProc);
    pending_.push_back(std::move(p));
}

void MessageBoxWatch::answer(UINT_PTR timer) {
    KillTimer(nullptr, timer);
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [&](const Pending& p) { return p.timer == timer; });
    if (it == pending_.end()) return;
    Pending p = *it;
    pending_.erase(it);
    if (!IsWindow(p.box)) return;

    SeenMessageBox seen;
    seen.title = windowText(p.box);
    seen.text = windowText(GetDlgItem(p.box, 0xFFFF));
    seen.style = buttonsStyle(p.box) | iconStyle(p.box);
    seen.answered = !p.press.empty();
    // The asked-for button, else what closes the box as Escape would.
    int id = 0;
    for (const auto& b : kButtons)
        if (p.press == b.name && hasButton(p.box, b.id)) id = b.id;
    if (!id) id = hasButton(p.box, IDOK) ? IDOK : IDCANCEL;
    for (const auto& b : kButtons)
        if (b.id == id) seen.pressed = b.name;
    seen_.push_back(std::move(seen));
    PostMessageW(p.box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(p.box, id)));
}

}  // namespace torva::emulator
