// The scenario's "access" section: the database Access opens, when, and the
// object selected in its database window.

#include "ScenarioFields.h"
#include "ScenarioParts.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using namespace fields;

void readCurrentObject(const json& v, const std::string& field, model::AccessSetup& setup) {
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "type")
            setup.currentObjectType = static_cast<int32_t>(
                whole(value, f, -1, 100, "expected Access's CurrentObjectType number"));
        else if (key == "name")
            setup.currentObjectName = fromUtf8(text(value, f));
        else
            throw ScenarioError(f, "unknown field");
    });
}
}  // namespace

model::AccessSetup accessSetup(const json& access) {
    model::AccessSetup setup;
    if (!access.is_object()) return setup;
    eachField(access, "access",
              [&](const std::string& key, const json& value, const std::string& f) {
                  if (key == "database") {
                      if (value.is_null()) return;
                      const std::string path = text(value, f);
                      if (path.empty()) throw ScenarioError(f, "expected a file path or null");
                      setup.database = fromUtf8(path);
                  } else if (key == "openDatabaseAfterMs") {
                      setup.openDatabaseAfterMs = milliseconds(value, f);
                  } else if (key == "currentObject") {
                      readCurrentObject(value, f, setup);
                  } else {
                      throw ScenarioError(f, "unknown field");
                  }
              });
    if (setup.openDatabaseAfterMs && !setup.database)
        throw ScenarioError("access.openDatabaseAfterMs", "needs a database to open");
    return setup;
}

}  // namespace torva::emulator
