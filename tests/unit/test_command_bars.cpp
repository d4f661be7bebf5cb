// The command-bar model and modOffice's installer procedures on it.
#include <gtest/gtest.h>

#include <map>

#include "CommandBars.h"
#include "host/modOffice.h"
#include "platform/posix/Recorder.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"
#include "test_connect_support.h"

using namespace torva;
using namespace torva::model;
using automation::Arg;
using automation::asInt;
using automation::asObject;
using automation::asString;

namespace {

class CommandBarsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folders_.emplace();
        bars = makeHostCommandBars(u"Word");
        tools = std::static_pointer_cast<CommandBarPopup>(
            bars->find(u"Menu Bar")->controls()->list().at(2));
    }
    void TearDown() override { folders_.reset(); }

    std::shared_ptr<CommandBarButton> addButton(CommandBarControls& controls,
                                                std::u16string caption) {
        auto b = std::static_pointer_cast<CommandBarButton>(controls.add(kMsoControlButton));
        b->setCaption(std::move(caption));
        return b;
    }
    std::shared_ptr<CommandBars> bars;
    std::shared_ptr<CommandBarPopup> tools;
    std::optional<test::HostFolders> folders_;
};

std::shared_ptr<CommandBarButton> asButton(const ObjectRef& o) {
    auto b = std::dynamic_pointer_cast<CommandBarButton>(o);
    EXPECT_TRUE(b) << "not a CommandBarButton";
    return b;
}

}  // namespace

TEST_F(CommandBarsTest, HostsStartWithTheirMainMenuBarAndToolsPopup) {
    for (auto host : {u"Excel", u"Word", u"Access", u"Outlook"}) {
        auto hostBars = makeHostCommandBars(host);
        const std::u16string menuName =
            std::u16string_view(host) == u"Excel" ? u"Worksheet Menu Bar" : u"Menu Bar";
        ObjectRef menu = asObject(hostBars->get(u"Item", {Arg(Value{menuName})}));
        EXPECT_EQ(asInt(menu->get(u"Type")), kMsoBarTypeMenuBar);
        ObjectRef popup = findMenuPopup(hostBars, menuName, kToolsMenuId);
        ASSERT_TRUE(popup);
        EXPECT_EQ(asInt(popup->get(u"Type")), kMsoControlPopup);
        EXPECT_EQ(asInt(asObject(popup->get(u"Controls"))->get(u"Count")), 2);
    }
    // The other host's bar name is not there, and a missing bar fails.
    EXPECT_THROW(findMenuPopup(makeHostCommandBars(u"Word"), u"Worksheet Menu Bar", kToolsMenuId),
                 automation::Error);
    EXPECT_THROW(findMenuPopup(makeHostCommandBars(u"Excel"), u"Menu Bar", kToolsMenuId),
                 automation::Error);
}

TEST_F(CommandBarsTest, CollectionsAnswerByNameNumberAndEnumeration) {
    EXPECT_TRUE(asObject(bars->get(u"Item", {Arg(1)}))->sameObject(*bars->list()[0]));
    EXPECT_TRUE(asObject(bars->get(u"Item", {Arg(u"standard")}))->sameObject(*bars->list()[1]));
    EXPECT_THROW(bars->get(u"Item", {Arg(3)}), automation::Error);
    EXPECT_THROW(bars->get(u"Item", {Arg(u"Nope")}), automation::Error);
    EXPECT_EQ(asInt(bars->get(u"Count")), 2);
    EXPECT_EQ(bars->items().size(), 2u);

    ObjectRef added = asObject(
        bars->call(u"Add", {Arg::named(u"Name", Value{u"Mine"}), Arg::named(u"Temporary", true)}));
    EXPECT_TRUE(asObject(bars->get(u"Item", {Arg(3)}))->sameObject(*added));
    EXPECT_FALSE(automation::asBool(added->get(u"Visible")));
    EXPECT_TRUE(automation::asBool(added->get(u"Temporary")));
    EXPECT_THROW(bars->call(u"Add", {Arg(u"MINE")}), automation::Error);
    added->call(u"Delete");
    EXPECT_EQ(asInt(bars->get(u"Count")), 2);
    EXPECT_THROW(added->get(u"Name"), automation::Error);

    EXPECT_TRUE(added->queryInterface(kIidCommandBar));
    EXPECT_THROW(added->queryInterface(kIidCommandBarButton), automation::Error);
}

TEST_F(CommandBarsTest, ControlsAddTakesTypeParameterBeforeAndTemporaryByName) {
    ObjectRef controls = asObject(tools->get(u"Controls"));
    ObjectRef first = asObject(controls->call(
        u"Add", {Arg::named(u"Type", kMsoControlButton), Arg::named(u"Parameter", Value{u"P"}),
                 Arg::named(u"Before", 1), Arg::named(u"Temporary", true)}));
    EXPECT_TRUE(asObject(controls->get(u"Item", {Arg(1)}))->sameObject(*first));
    EXPECT_EQ(asString(first->get(u"Parameter")), u"P");
    EXPECT_EQ(asInt(first->get(u"Id")), 1);
    EXPECT_EQ(asInt(first->get(u"Type")), kMsoControlButton);
    EXPECT_TRUE(asButton(first)->temporary());
    EXPECT_TRUE(first->queryInterface(kIidCommandBarButton));
    ObjectRef popup = asObject(controls->call(u"Add", {Arg(kMsoControlPopup), Arg(30099)}));
    EXPECT_EQ(asInt(popup->get(u"Id")), 30099);
    EXPECT_TRUE(popup->queryInterface(kIidCommandBarPopup));
    EXPECT_THROW(popup->queryInterface(kIidCommandBarButton), automation::Error);
    EXPECT_EQ(asInt(controls->get(u"Count")), 4);
    EXPECT_THROW(controls->call(u"Add", {Arg(4)}), automation::Error);
}

TEST_F(CommandBarsTest, PasteFaceNeedsAPictureOnTheClipboard) {
    ObjectRef button = asObject(tools->controls()->get(u"Item", {Arg(1)}));
    EXPECT_THROW(button->call(u"PasteFace"), automation::Error);
    EXPECT_FALSE(asButton(button)->hasFace());
    setClipboardSource({});  // no source at all counts as an empty clipboard
    EXPECT_THROW(button->call(u"PasteFace"), automation::Error);
    setClipboardSource([] { return std::optional<ClipboardPicture>({16, 16}); });
    button->call(u"PasteFace");
    ASSERT_TRUE(asButton(button)->hasFace());
    EXPECT_EQ(asButton(button)->face()->width, 16);
}

TEST_F(CommandBarsTest, ClickSendsTheButtonAndCancelDefaultToEverySubscriber) {
    auto button = addButton(*tools->controls(), u"Go");
    std::vector<std::pair<int32_t, std::vector<Value>>> seen;
    auto sub = button->subscribe(
        kIidCommandBarButtonEvents,
        [&](int32_t dispid, std::vector<Value>& args) { seen.emplace_back(dispid, args); });
    EXPECT_FALSE(button->click());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, kDispIdClick);
    ASSERT_EQ(seen[0].second.size(), 2u);
    EXPECT_TRUE(asObject(seen[0].second[0])->sameObject(*button));
    EXPECT_EQ(seen[0].second[1], Value{false});
    // A handler that sets CancelDefault is heard.
    auto cancel = button->subscribe(kIidCommandBarButtonEvents,
                                    [](int32_t, std::vector<Value>& args) { args[1] = true; });
    EXPECT_TRUE(button->click());
    sub.reset();
    cancel.reset();
    button->click();
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(CommandBarsTest, ClickReachesEveryLiveControlOfTheSameTagOrUntaggedId) {
    // Untagged custom buttons (Id 1) on two bars and in a popup, one that is
    // deleted, a built-in untagged one (Id 2) and two tagged ones.
    auto standard = bars->find(u"Standard")->controls();
    auto a = addButton(*standard, u"A");
    auto b = addButton(*tools->controls(), u"B");
    auto gone = addButton(*standard, u"Gone");
    auto spelling = std::static_pointer_cast<CommandBarButton>(tools->controls()->list().at(0));
    auto t1 = addButton(*standard, u"T1");
    auto t2 = addButton(*tools->controls(), u"T2");
    t1->put(u"Tag", Value{u"X"});
    t2->put(u"Tag", Value{u"X"});
    std::map<std::u16string, int> heard;
    std::vector<automation::Subscription> subs;
    for (const auto& button : {a, b, gone, spelling, t1, t2}) {
        subs.push_back(button->subscribe(
            kIidCommandBarButtonEvents,
            [&heard, name = button->caption()](int32_t, std::vector<Value>&) { ++heard[name]; }));
    }
    gone->remove();
    a->click();
    EXPECT_EQ(heard, (std::map<std::u16string, int>{{u"A", 1}, {u"B", 1}}));
    t2->click();
    EXPECT_EQ(heard, (std::map<std::u16string, int>{{u"A", 1}, {u"B", 1}, {u"T1", 1}, {u"T2", 1}}));
    spelling->click();
    EXPECT_EQ(heard[u"&Spelling..."], 1);
    EXPECT_EQ(heard[u"A"], 1);
}

TEST_F(CommandBarsTest, GetAddinButtonTakesOnlyAButtonWithTheExactCaption) {
    auto bar = bars->add(u"Tb", kMsoBarTop, false, true);
    auto popup = bar->controls()->add(kMsoControlPopup, 1);
    popup->setCaption(u"Labels");
    auto other = addButton(*bar->controls(), u"labels");  // differs in case only

    ObjectRef made = getAddinButton(bar, u"Labels", u"Print labels");
    auto button = asButton(made);
    ASSERT_TRUE(button);
    EXPECT_NE(made.get(), popup.get());
    EXPECT_NE(made.get(), other.get());
    EXPECT_EQ(bar->controls()->list().size(), 3u);
    EXPECT_EQ(button->caption(), u"Labels");
    EXPECT_EQ(button->tooltipText(), u"Print labels");
    EXPECT_EQ(button->style(), msoButtonIconAndCaption);
    EXPECT_TRUE(button->temporary());
    EXPECT_EQ(button->id(), 1);
    ASSERT_TRUE(button->hasFace());
    EXPECT_EQ(button->face()->width, 16);
    EXPECT_EQ(button->face()->height, 16);

    EXPECT_EQ(button->tag(), u"ZEBRO.BUTTON");

    // Found again: unchanged, even when the user restyled it meanwhile, but
    // tagged again (an earlier version left it untagged).
    made->put(u"Style", Value{int32_t(0)});
    made->put(u"Tag", Value{u""});
    platform::posix::recorder().clipboard.reset();
    ObjectRef again = getAddinButton(bar, u"Labels", u"Other tooltip");
    EXPECT_TRUE(again->sameObject(*made));
    EXPECT_EQ(button->style(), 0);
    EXPECT_EQ(button->tooltipText(), u"Print labels");
    EXPECT_FALSE(platform::posix::recorder().clipboard) << "the face was pasted again";
    EXPECT_EQ(button->tag(), u"ZEBRO.BUTTON");
    // Another caption makes a second button beside the first.
    ObjectRef second = getAddinButton(bar, u"Labels 2", u"t");
    EXPECT_FALSE(second->sameObject(*made));
    EXPECT_EQ(bar->controls()->list().size(), 4u);
}

TEST_F(CommandBarsTest, GetAddinCommandBarFindsTheToolbarByNameOrAddsIt) {
    WorkingFolder = fromUtf8((folders_->root / "work").string());
    (void)LoadStringTable();  // the table may hold these entries already
    const std::u16string name = GetString(u"0900");
    ASSERT_FALSE(name.empty());
    ObjectRef bar = getAddinCommandBar(bars);
    auto model = std::dynamic_pointer_cast<CommandBar>(bar);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->name(), name);
    EXPECT_TRUE(model->temporary());
    EXPECT_EQ(model->position(), kMsoBarTop);
    EXPECT_EQ(model->barType(), kMsoBarTypeNormal);
    EXPECT_EQ(bars->list().size(), 3u);
    EXPECT_TRUE(getAddinCommandBar(bars)->sameObject(*bar));
    EXPECT_EQ(bars->list().size(), 3u);
}

TEST_F(CommandBarsTest, AddMenuEntryReplacesEveryEntryWithItsCaption) {
    auto controls = tools->controls();
    auto old1 = addButton(*controls, u"Label");
    auto keep = addButton(*controls, u"label");
    auto old2 = addButton(*controls, u"Label");
    auto samePopup = controls->add(kMsoControlPopup, 1);
    samePopup->setCaption(u"Label");

    ObjectRef entry =
        addMenuEntry(bars, u"Menu Bar", 30007, u"Label", u"TorvaAddIn.TorvaWordConnect", u"WORD");
    auto made = asButton(entry);
    ASSERT_TRUE(made);
    EXPECT_TRUE(old1->deleted());
    EXPECT_TRUE(old2->deleted());
    EXPECT_FALSE(keep->deleted());
    EXPECT_FALSE(samePopup->deleted());
    EXPECT_EQ(controls->withCaption(u"Label").size(), 2u);  // the popup and the new entry
    EXPECT_EQ(controls->list().back(), made);
    EXPECT_EQ(made->parameter(), u"WORD");
    EXPECT_EQ(made->onAction(), u"!<TorvaAddIn.TorvaWordConnect>");
    EXPECT_EQ(made->tag(), u"ZEBRO");
    EXPECT_EQ(made->style(), msoButtonIconAndCaption);
    EXPECT_TRUE(made->temporary());
    EXPECT_TRUE(made->hasFace());
    ASSERT_TRUE(platform::posix::recorder().clipboard);
    EXPECT_EQ(platform::posix::recorder().clipboard->width, 16);

    // A second installation makes a fresh entry in its place.
    ObjectRef next = addMenuEntry(bars, u"Menu Bar", 30007, u"Label", u"X", u"WORD");
    EXPECT_FALSE(next->sameObject(*entry));
    EXPECT_TRUE(made->deleted());
}

TEST_F(CommandBarsTest, RemoveMenuEntryDeletesOnlyTheFirstMatchingButton) {
    auto controls = tools->controls();
    auto popup = controls->add(kMsoControlPopup, 1);
    popup->setCaption(u"Label");
    auto first = addButton(*controls, u"Label");
    auto second = addButton(*controls, u"Label");
    removeMenuEntry(bars, u"Menu Bar", 30007, u"Label");
    EXPECT_FALSE(popup->deleted());
    EXPECT_TRUE(first->deleted());
    EXPECT_FALSE(second->deleted());
    removeMenuEntry(bars, u"Menu Bar", 30007, u"LABEL");
    EXPECT_FALSE(second->deleted());
}

TEST_F(CommandBarsTest, WithoutAToolsPopupNoEntryIsMade) {
    // A button that carries the popup's Id is not the popup.
    auto menu = bars->find(u"Menu Bar");
    tools->remove();
    menu->controls()->add(kMsoControlButton, 30007);
    const size_t before = menu->controls()->list().size();
    EXPECT_FALSE(findMenuPopup(bars, u"Menu Bar", 30007));
    EXPECT_FALSE(addMenuEntry(bars, u"Menu Bar", 30007, u"Label", u"P", u"WORD"));
    removeMenuEntry(bars, u"Menu Bar", 30007, u"Label");
    EXPECT_EQ(menu->controls()->list().size(), before);
    EXPECT_FALSE(platform::posix::recorder().clipboard);
}
