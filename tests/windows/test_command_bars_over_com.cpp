// The command-bar installer against the command-bar model shown through COM,
// as the add-in meets Office's: every call crosses IDispatch both ways.
#include <windows.h>

#include <gtest/gtest.h>

#include "CommandBars.h"
#include "ModelDispatch.h"
#include "automation/win/DispatchObject.h"
#include "host/modOffice.h"

using namespace torva;
using automation::asString;
using automation::ObjectRef;

namespace {
ObjectRef throughCom(const std::shared_ptr<model::Object>& object) {
    auto d = model::com::dispatchFor(object);
    return automation::win::wrapDispatch(d.get());
}
}  // namespace

TEST(CommandBarsOverCom, MenuEntryIsMadeAndFoundAgainThroughIDispatch) {
    model::setClipboardSource([] { return model::ClipboardPicture{16, 16}; });
    auto bars = model::makeHostCommandBars(u"Excel");
    const ObjectRef remote = throughCom(bars);
    ObjectRef entry;
    try {
        entry = addMenuEntry(remote, u"Worksheet Menu Bar", 30007, u"Etiketten",
                             u"TorvaAddIn.TorvaExcelConnect", u"EXCEL");
    } catch (const Error& e) {
        FAIL() << "addMenuEntry failed: " << std::string(e.what());
    }
    ASSERT_TRUE(entry);
    EXPECT_EQ(asString(entry->get(u"OnAction")), u"!<TorvaAddIn.TorvaExcelConnect>");
    EXPECT_EQ(asString(entry->get(u"Tag")), u"ZEBRO");
    EXPECT_EQ(asString(entry->get(u"Parameter")), u"EXCEL");
    const ObjectRef bar = getAddinCommandBar(remote);
    ASSERT_TRUE(bar);
    EXPECT_TRUE(getAddinButton(bar, u"Etiketten drucken", u"Tipp"));
    removeMenuEntry(remote, u"Worksheet Menu Bar", 30007, u"Etiketten");
    const ObjectRef popup = findMenuPopup(remote, u"Worksheet Menu Bar", 30007);
    ASSERT_TRUE(popup);
    for (const auto& control : automation::asObject(popup->get(u"Controls"))->items())
        EXPECT_NE(asString(automation::asObject(control)->get(u"Caption")), u"Etiketten");
    model::setClipboardSource({});
}
