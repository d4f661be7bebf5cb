#pragma once
// The add-in's message boxes: MessageBoxW runs modal on our own thread, so a
// CBT hook sees each box as it is activated; a thread timer then reads it and
// presses the answer the scenario gave (or OK after a while, unanswered).

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace torva::emulator {

struct SeenMessageBox {
    std::u16string title;
    std::u16string text;
    unsigned style = 0;     // MB_ buttons | MB_ icon, as read off the box
    std::string pressed;    // the button that closed it
    bool answered = false;  // false: nobody answered; closed after the time-out
};

class MessageBoxWatch {
  public:
    explicit MessageBoxWatch(unsigned unansweredAfterMs);
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    // The answer for the next box that appears ("OK", "Cancel", "Yes", ...).
    void queueAnswer(std::string press) { answers_.push_back(std::move(press)); }
    const std::vector<SeenMessageBox>& seen() const { return seen_; }

  private:
    static LRESULT CALLBACK cbtProc(int code, WPARAM wp, LPARAM lp);
    static void CALLBACK timerProc(HWND, UINT, UINT_PTR id, DWORD);
    void activated(HWND box);
    void answer(UINT_PTR timer);

    struct Pending {
        HWND box;
        UINT_PTR timer;
        std::string press;  // empty: unanswered
    };
    HHOOK hook_ = nullptr;
    unsigned unansweredAfterMs_;
    std::deque<std::string> answers_;
    std::vector<Pending> pending_;
    std::vector<HWND> known_;
    std::vector<SeenMessageBox> seen_;
};

}  // namespace torva::emulator
