#pragma once
// The files a run reads back: the add-in's log, from where it stood when the
// run began, and the record of each program the add-in started (the stand-in
// writes one line a launch to the file TORVA_LAUNCH_RECORD names).

#include <nlohmann/json.hpp>

#include <fstream>
#include <optional>
#include <string>

namespace torva::emulator {

class RunFiles {
  public:
    // TEMP_FOLDER: the scenario's, for this process and what it starts.
    explicit RunFiles(const std::optional<std::string>& tempFolder);
    ~RunFiles();
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;

    // The lines the log gained during the run.
    nlohmann::ordered_json logLines() const;
    // One object a launch; a line that is no JSON as {"unreadableRecord": line}.
    nlohmann::ordered_json launchRecords() const;

  private:
    std::wstring log_;
    std::streamoff logStart_ = 0;
    std::wstring launches_;
};

}  // namespace torva::emulator
