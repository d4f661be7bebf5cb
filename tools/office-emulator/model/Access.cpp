#include "Access.h"

#include <chrono>

namespace torva::model {

namespace {
ElapsedMs realClock() {
    const auto start = std::chrono::steady_clock::now();
    return [start] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
}
}  // namespace

Database::Database(std::u16string name) : Object(u"Database"), name_(std::move(name)) {
    property(u"Name", [this](const Params&) { return Value{name_}; });
}

AccessApplication::AccessApplication(ObjectRef commandBars, const HostOptions& options,
                                     AccessSetup setup, ElapsedMs elapsed)
    : Application(HostKind::Access, std::move(commandBars), options),
      setup_(std::move(setup)),
      elapsed_(elapsed ? std::move(elapsed) : realClock()) {
    if (setup_.database) {
        if (setup_.openDatabaseAfterMs && *setup_.openDatabaseAfterMs > 0)
            delayedPending_ = true;
        else
            open_ = setup_.database;
    }
    method(u"CurrentDb", {}, [this](const Params&) {
        ++currentDbCalls_;
        const auto path = openDatabasePath();
        return Value{path ? ObjectRef(std::make_shared<Database>(*path)) : ObjectRef()};
    });
    property(u"CurrentObjectType",
             [this](const Params&) { return Value{setup_.currentObjectType}; });
    property(u"CurrentObjectName",
             [this](const Params&) { return Value{setup_.currentObjectName}; });
}

std::optional<std::u16string> AccessApplication::openDatabasePath() {
    if (delayedPending_ && elapsed_() >= *setup_.openDatabaseAfterMs) {
        delayedPending_ = false;
        open_ = setup_.database;
    }
    return open_;
}

void AccessApplication::openDatabase(std::u16string path) {
    delayedPending_ = false;
    open_ = std::move(path);
}

void AccessApplication::closeDatabase() {
    delayedPending_ = false;
    open_.reset();
}

void AccessApplication::setCurrentObject(int32_t type, std::u16string name) {
    setup_.currentObjectType = type;
    setup_.currentObjectName = std::move(name);
}

std::shared_ptr<AccessApplication> makeAccessApplication(ObjectRef commandBars,
                                                         const HostOptions& options,
                                                         const AccessSetup& setup,
                                                         ElapsedMs elapsed) {
    return std::make_shared<AccessApplication>(std::move(commandBars), options, setup,
                                               std::move(elapsed));
}

}  // namespace torva::model
