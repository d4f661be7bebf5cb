// office-emulator.exe SCENARIO.json [--report REPORT.json]
// Exit 0: the scenario ran to its end; 2: the scenario cannot be read;
// 1: the emulator itself failed.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "Emulator.h"
#include "base/Error.h"
#include "base/Text.h"

namespace {
constexpr int kExitFailure = 1;
constexpr int kExitBadScenario = 2;

std::string utf8(const wchar_t* s) { return torva::toUtf8(reinterpret_cast<const char16_t*>(s)); }

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
    std::wstring scenarioPath, reportPath;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--report" && i + 1 < argc) {
            reportPath = argv[++i];
        } else if (scenarioPath.empty()) {
            scenarioPath = arg;
        } else {
            std::cerr << "usage: office-emulator SCENARIO.json [--report REPORT.json]\n";
            return kExitFailure;
        }
    }
    if (scenarioPath.empty()) {
        std::cerr << "usage: office-emulator SCENARIO.json [--report REPORT.json]\n";
        return kExitFailure;
    }
    std::string text;
    if (!readFile(scenarioPath, text)) {
        std::cerr << "scenario file cannot be read: " << utf8(scenarioPath.c_str()) << "\n";
        return kExitBadScenario;
    }
    torva::emulator::Scenario scenario;
    try {
        scenario = torva::emulator::parseScenario(text);
    } catch (const torva::emulator::ScenarioError& e) {
        std::cerr << e.what() << "\n";
        return kExitBadScenario;
    }
    try {
        const std::string report = torva::emulator::runScenario(scenario).dump(2) + "\n";
        if (reportPath.empty()) {
            std::cout << report;
        } else {
            std::ofstream out(std::filesystem::path(reportPath), std::ios::binary);
            out << report;
            if (!out) {
                std::cerr << "report cannot be written: " << utf8(reportPath.c_str()) << "\n";
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
