#pragma once
// Access's object model as the add-in meets it: CurrentDb (Nothing until a
// database is open, then a Database whose Name is the file's full path) and
// the current object, by CurrentObjectType and CurrentObjectName.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Hosts.h"
#include "ModelObject.h"

namespace torva::model {

// Access's AcObjectType numbers.
inline constexpr int32_t kAcTable = 0;
inline constexpr int32_t kAcQuery = 1;
inline constexpr int32_t kAcForm = 2;
inline constexpr int32_t kAcReport = 3;
inline constexpr int32_t kAcMacro = 4;
inline constexpr int32_t kAcModule = 5;
// CurrentObjectType with nothing selected: True, and CurrentObjectName "".
inline constexpr int32_t kNothingSelected = -1;

// What a scenario's "access" part describes.
struct AccessSetup {
    // The database file; with none, Access starts empty.
    std::optional<std::u16string> database;
    // Opens the database that long after the start; unset: open from the
    // start (or never, without a database).
    std::optional<int32_t> openDatabaseAfterMs;
    // Nothing selected, as in a freshly opened database.
    int32_t currentObjectType = kNothingSelected;
    std::u16string currentObjectName;
};

// One call of CurrentDb; Access hands out a new one each time.
class Database : public Object {
  public:
    explicit Database(std::u16string name);

  private:
    std::u16string name_;
};

// Milliseconds since the host started.
using ElapsedMs = std::function<int64_t()>;

class AccessApplication : public Application {
  public:
    // Without a clock the real time since construction counts.
    AccessApplication(ObjectRef commandBars, const HostOptions& options, AccessSetup setup,
                      ElapsedMs elapsed = {});

    // What the user does in Access.
    void openDatabase(std::u16string path);
    void closeDatabase();
    void setCurrentObject(int32_t type, std::u16string name);

    // The open database's path, or nothing (the delayed one counts once due).
    std::optional<std::u16string> openDatabasePath();
    long currentDbCalls() const { return currentDbCalls_; }

  private:
    AccessSetup setup_;
    ElapsedMs elapsed_;
    std::optional<std::u16string> open_;
    bool delayedPending_ = false;
    long currentDbCalls_ = 0;
};

std::shared_ptr<AccessApplication> makeAccessApplication(ObjectRef commandBars,
                                                         const HostOptions& options,
                                                         const AccessSetup& setup,
                                                         ElapsedMs elapsed = {});

}  // namespace torva::model
