#pragma once
// Where the stand-in plakora.exe is for a run: the scenario moves the staged
// one away, spoils it, or hides it in a folder only the user's App Paths
// registration names.

#include <string>

#include "Scenario.h"

namespace torva::emulator {

// The user's App Paths entry a run made, gone at the end (and from the start,
// should an earlier run have died with it in place).
class AppPathsEntry {
  public:
    AppPathsEntry();
    ~AppPathsEntry();
    AppPathsEntry(const AppPathsEntry&) = delete;
    AppPathsEntry& operator=(const AppPathsEntry&) = delete;
    void set(const std::wstring& executable);
};

// Puts the stand-in where the scenario wants it, for the add-in whose DLL is ADDIN_DLL.
void placePlakora(PlakoraPlace place, const std::wstring& addinDll, AppPathsEntry& appPaths);

}  // namespace torva::emulator
