// office-emulator.exe SCENARIO.json [--report REPORT.json]
//                     [--sweep FAULTS.json [--from N]] [--answer-after MS]
// Exit 0: the scenario ran to its end; 2: the scenario cannot be read;
// 1: the emulator itself failed; 3: the process crashed (an exception that
// nobody caught, as from an access violation in the add-in).
// --sweep plays the scenario once per entry of FAULTS.json (a list whose
// entries are lists of faults as the scenario's "faults"), from entry N on,
// in this one process, and writes one report per line as each run ends.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Emulator.h"
#include "WideText.h"
#include "base/Error.h"
#include "base/Text.h"

namespace {
constexpr int kExitFailure = 1;
constexpr int kExitBadScenario = 2;
constexpr int kExitCrashed = 3;

LONG WINAPI crashed(EXCEPTION_POINTERS*) {
    // No debugger dialog and no waiting: the caller reads the exit code.
    TerminateProcess(GetCurrentProcess(), kExitCrashed);
    return EXCEPTION_EXECUTE_HANDLER;
}

constexpr char kUsage[] =
    "usage: office-emulator SCENARIO.json [--report REPORT.json] [--sweep FAULTS.json "
    "[--from N]] [--answer-after MS]\n";

bool readFile(const std::wstring& path, std::string& out) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetUnhandledExceptionFilter(crashed);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    std::wstring scenarioPath, reportPath, sweepPath;
    long from = 0;
    long answerAfter = -1;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--report" && i + 1 < argc) {
            reportPath = argv[++i];
        } else if (arg == L"--sweep" && i + 1 < argc) {
            sweepPath = argv[++i];
        } else if (arg == L"--from" && i + 1 < argc) {
            from = std::wcstol(argv[++i], nullptr, 10);
        } else if (arg == L"--answer-after" && i + 1 < argc) {
            answerAfter = std::wcstol(argv[++i], nullptr, 10);
        } else if (scenarioPath.empty()) {
            scenarioPath = arg;
        } else {
            std::cerr << kUsage;
            return kExitFailure;
        }
    }
    if (scenarioPath.empty() || (sweepPath.empty() && from != 0)) {
        std::cerr << kUsage;
        return kExitFailure;
    }
    std::string text;
    if (!readFile(scenarioPath, text)) {
        std::cerr << "scenario file cannot be read: " << torva::emulator::utf8(scenarioPath)
                  << "\n";
        return kExitBadScenario;
    }
    // Each run's scenario: the file's, or the file's with one entry of the sweep as its faults.
    std::vector<std::string> runs;
    if (sweepPath.empty()) {
        runs.push_back(text);
    } else {
        std::string sweepText;
        nlohmann::json base, sweep;
        try {
            if (!readFile(sweepPath, sweepText)) throw std::runtime_error("cannot be read");
            base = nlohmann::json::parse(text);
            sweep = nlohmann::json::parse(sweepText);
            if (!base.is_object() || !sweep.is_array()) throw std::runtime_error("not a list");
        } catch (const std::exception& e) {
            std::cerr << "sweep cannot be read: " << e.what() << "\n";
            return kExitBadScenario;
        }
        for (size_t i = static_cast<size_t>(std::max(from, 0L)); i < sweep.size(); ++i) {
            nlohmann::json one = base;
            one["faults"] = sweep[i];
            runs.push_back(one.dump());
        }
    }
    std::vector<torva::emulator::Scenario> scenarios;
    try {
        for (const auto& t : runs) {
            scenarios.push_back(torva::emulator::parseScenario(t));
            if (answerAfter >= 0)
                scenarios.back().unansweredAfterMs = static_cast<unsigned>(answerAfter);
        }
    } catch (const torva::emulator::ScenarioError& e) {
        std::cerr << e.what() << "\n";
        return kExitBadScenario;
    }
    std::ofstream out;
    if (!reportPath.empty()) {
        out.open(std::filesystem::path(reportPath), std::ios::binary | std::ios::trunc);
        if (!out) {
            std::cerr << "report cannot be written: " << torva::emulator::utf8(reportPath) << "\n";
            return kExitFailure;
        }
    }
    std::ostream& sink = reportPath.empty() ? std::cout : out;
    try {
        for (const auto& scenario : scenarios) {
            const auto report = torva::emulator::runScenario(scenario);
            // A sweep writes a line per run, at once: a crash in a later run keeps these.
            sink << (sweepPath.empty() ? report.dump(2) : report.dump()) << "\n";
            sink.flush();
            if (!sink) {
                std::cerr << "report cannot be written: " << torva::emulator::utf8(reportPath)
                          << "\n";
                return kExitFailure;
            }
        }
    } catch (const torva::Error& e) {
        std::cerr << "emulator failure: " << torva::toUtf8(e.description()) << "\n";
        return kExitFailure;
    } catch (const std::exception& e) {
        std::cerr << "emulator failure: " << e.what() << "\n";
        return kExitFailure;
    }
    return 0;
}
