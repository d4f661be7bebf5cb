#include "OutlookExplorers.h"

#include "WindowClass.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;

LRESULT CALLBACK explorerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) return 0;  // the run closes explorers, not the user
    return DefWindowProcW(w, msg, wp, lp);
}

// The n-th further explorer's window. Made once a process and shown anew for
// each run: Wine takes seconds to destroy a shown window, too long for a sweep.
HWND explorerWindow(size_t n) {
    static std::vector<HWND> windows;
    ensureWindowClass(L"TorvaOfficeEmulatorExplorer", explorerProc);
    while (windows.size() <= n) {
        const int offset = 60 + 30 * static_cast<int>(windows.size());
        windows.push_back(CreateWindowExW(0, L"TorvaOfficeEmulatorExplorer", L"Outlook",
                                          WS_OVERLAPPEDWINDOW, offset, offset, 800, 600, nullptr,
                                          nullptr, GetModuleHandleW(nullptr), nullptr));
    }
    HWND w = n < windows.size() ? windows[n] : nullptr;
    if (w) {
        EnableWindow(w, TRUE);
        ShowWindow(w, SW_SHOWNOACTIVATE);
    }
    return w;
}

ordered_json numbered(ordered_json entries, size_t explorer) {
    for (auto& e : entries) e["explorer"] = explorer;
    return entries;
}
}  // namespace

OutlookExplorers::OutlookExplorers(std::shared_ptr<model::OutlookApplication> app,
                                   std::shared_ptr<model::CommandBars> firstBars,
                                   const Baseline& firstBaseline, HWND firstWindow)
    : app_(std::move(app)),
      firstBars_(std::move(firstBars)),
      firstBaseline_(firstBaseline),
      firstWindow_(firstWindow) {
    if (!app_->allExplorers().empty())
        views_.push_back({firstBars_, &firstBaseline_, nullptr, firstWindow_});
}

size_t OutlookExplorers::open(const model::ExplorerSetup& setup, bool announce) {
    View view;
    if (views_.empty()) {
        view = {firstBars_, &firstBaseline_, nullptr, firstWindow_};
    } else {
        view.bars = model::makeHostCommandBars(u"Outlook");
        view.own = std::make_unique<Baseline>(*view.bars);
        view.baseline = view.own.get();
        view.window = explorerWindow(views_.size() - 1);
    }
    const auto bars = view.bars;
    const HWND window = view.window;
    views_.push_back(std::move(view));
    app_->openExplorer(bars, setup, reinterpret_cast<intptr_t>(window), announce);
    return views_.size() - 1;
}

bool OutlookExplorers::close(size_t index) {
    const auto& all = app_->allExplorers();
    if (index >= all.size() || !all[index]->open) return false;
    app_->closeExplorer(index);
    if (views_[index].window != firstWindow_) ShowWindow(views_[index].window, SW_HIDE);
    return true;
}

std::optional<size_t> OutlookExplorers::target(std::optional<int> index) const {
    const auto& all = app_->allExplorers();
    if (index) {
        const auto i = static_cast<size_t>(*index);
        if (i < all.size() && all[i]->open) return i;
        return std::nullopt;
    }
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i]->open) return i;
    return std::nullopt;
}

model::CommandBars& OutlookExplorers::bars(size_t index) const { return *views_.at(index).bars; }

const Baseline& OutlookExplorers::baseline(size_t index) const {
    return *views_.at(index).baseline;
}

ordered_json OutlookExplorers::commandBars() const {
    ordered_json out = ordered_json::array();
    const auto& all = app_->allExplorers();
    for (size_t i = 0; i < views_.size() && i < all.size(); ++i)
        if (all[i]->open)
            for (auto& bar : numbered(commandBarsJson(*views_[i].bars, *views_[i].baseline), i))
                out.push_back(std::move(bar));
    return out;
}

ordered_json OutlookExplorers::toolsMenu(std::u16string_view menuBar) const {
    ordered_json out = ordered_json::array();
    const auto& all = app_->allExplorers();
    for (size_t i = 0; i < views_.size() && i < all.size(); ++i)
        if (all[i]->open)
            for (auto& entry :
                 numbered(toolsMenuJson(*views_[i].bars, menuBar, *views_[i].baseline), i))
                out.push_back(std::move(entry));
    return out;
}

ordered_json OutlookExplorers::explorers() const {
    ordered_json out = ordered_json::array();
    const auto& all = app_->allExplorers();
    for (size_t i = 0; i < views_.size() && i < all.size(); ++i)
        out.push_back(
            {{"explorer", i},
             {"open", all[i]->open},
             {"window", static_cast<long long>(reinterpret_cast<intptr_t>(views_[i].window))}});
    return out;
}

}  // namespace torva::emulator
