#pragma once
// What the benchmarks share: the clock, the best of several rounds, the
// program's own folder, and the one "Summary:" line that tools/test-all
// gathers from each benchmark's output.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace torva::bench {

using Clock = std::chrono::steady_clock;

template <class F>
double secondsOf(F&& body) {
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fastest of the rounds: a slow moment of a shared machine only ever
// makes a round slower, never faster.
class Best {
  public:
    void add(double seconds) { seconds_ = std::min(seconds_, seconds); }
    double seconds() const { return seconds_; }
    double ms() const { return seconds_ * 1e3; }

  private:
    double seconds_ = 1e300;
};

// The folder of the running program, without a trailing backslash.
inline std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return L".";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\'));
}

}  // namespace torva::bench
