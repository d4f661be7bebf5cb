#pragma once
// The add-in's modal windows, its message boxes and its address-book dialog:
// both run modal on our own thread, so a CBT hook sees each as it is
// activated; a thread timer then reads it and gives the answer the scenario
// gave (or OK / Cancel after a while, unanswered), as a user would.

#include <windows.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace torva::emulator {

// What any modal window of the add-in showed as: its owner window (null: none)
// and its rectangle on the screen.
struct SeenWindow {
    HWND owner = nullptr;
    RECT rect{};
    bool hostDisabledWhileShown = false;
    bool taskbarButton = false;  // WS_EX_APPWINDOW, or unowned and no tool window
};

struct SeenDialog {
    SeenWindow window;
    std::u16string title;
    std::vector<std::u16string> entries;
    bool okEnabled = false;
    bool optionsEnabled = false;
    bool businessChecked = false;  // as the dialog opened
    bool rightToLeft = false;
    bool hasIcon = false;  // a window icon of its own, small and large
    std::vector<int> selectedAtOpen;
    std::vector<int> selected;  // the entries marked when the button was pressed
    std::string option;         // the option checked then: business, private or none
    std::string pressed;        // OK, Cancel or close
    bool answered = false;
    // The host's main window: disabled while the dialog was shown, and
    // enabled and active again once the press that opened it returned.
    bool hostDisabledWhileShown = false;
    bool hostEnabledAfter = false;
    bool hostActiveAfter = false;
    // A second press tried through the host window while the dialog was
    // shown: "" (none), "blocked" or "delivered".
    std::string secondPress;
};

struct DialogAnswer {
    std::optional<std::vector<int>> select;  // exactly these marked; absent: leave as shown
    std::string option;                      // business, private or empty
    std::string press;                       // OK, Cancel or close
};

struct SeenMessageBox {
    SeenWindow window;
    std::u16string title;
    std::u16string text;
    unsigned style = 0;     // MB_ buttons | MB_ icon, as read off the box
    std::string pressed;    // the button that closed it
    bool answered = false;  // false: nobody answered; closed after the time-out
};

class ModalWatch {
  public:
    explicit ModalWatch(unsigned unansweredAfterMs);
    ~ModalWatch();
    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;

    // The answer for the next box that appears ("OK", "Cancel", "Yes", ...).
    void queueAnswer(std::string press) { answers_.push_back(std::move(press)); }
    const std::vector<SeenMessageBox>& seen() const { return seen_; }
    // The answer for the next address-book dialog.
    void queueDialogAnswer(DialogAnswer answer) { dialogAnswers_.push_back(std::move(answer)); }
    std::vector<SeenDialog>& seenDialogs() { return seenDialogs_; }
    const std::vector<SeenDialog>& seenDialogs() const { return seenDialogs_; }
    // The host's main window, watched while dialogs are shown.
    void setHostWindow(HWND host) { host_ = host; }
    // While the next dialog is shown, the host window gets kSecondPress posted.
    void queueSecondPress() { secondPressQueued_ = true; }
    static constexpr UINT kSecondPress = WM_APP + 17;

  private:
    static LRESULT CALLBACK cbtProc(int code, WPARAM wp, LPARAM lp);
    static void CALLBACK timerProc(HWND, UINT, UINT_PTR id, DWORD);
    void activated(HWND box);
    void answer(UINT_PTR timer);
    void answerBox(HWND box, const std::string& press);
    void answerDialog(HWND dialog, const DialogAnswer* answer);

    struct Pending {
        HWND window;
        UINT_PTR timer;
        bool isDialog;                       // the address book, else a message box
        std::string press;                   // empty: unanswered
        std::optional<DialogAnswer> dialog;  // the address book's answer, if any
    };
    HHOOK hook_ = nullptr;
    HWND host_ = nullptr;
    bool secondPressQueued_ = false;
    unsigned unansweredAfterMs_;
    std::deque<std::string> answers_;
    std::vector<Pending> pending_;
    std::vector<HWND> known_;
    std::vector<SeenMessageBox> seen_;
    std::deque<DialogAnswer> dialogAnswers_;
    std::vector<SeenDialog> seenDialogs_;
};

}  // namespace torva::emulator
