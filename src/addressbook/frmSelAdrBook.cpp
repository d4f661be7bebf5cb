#include "addressbook/frmSelAdrBook.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "addressbook/ContactExport.h"
#include "base/Error.h"
#include "base/Text.h"
#include "platform/Platform.h"
#include "support/Notice.h"
#include "support/StringIds.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

namespace torva {

using automation::asInt;
using automation::asObject;
using automation::asString;
using automation::ObjectRef;
using automation::Value;

namespace {

[[noreturn]] void typeMismatch() { throw Error(vb::kTypeMismatch, u"Type mismatch"); }

ObjectRef objectOf(const ObjectRef& parent, std::u16string_view property) {
    return asObject(parent->get(property));
}

std::u16string trimmed(std::u16string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == u' ' || text[b] == u'\t')) ++b;
    while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t')) --e;
    return std::u16string(text.substr(b, e - b));
}

// A number as the user's locale writes it (the invariant point accepted too).
std::optional<double> readNumber(std::u16string_view text) {
    const std::u16string t = trimmed(text);
    if (t.empty()) return std::nullopt;
    const char16_t decimal = platform::numberSeparators().decimal;
    std::string ascii;
    for (char16_t c : t) {
        if (c == decimal) c = u'.';
        if (c > 0x7F) return std::nullopt;
        const char a = static_cast<char>(c);
        if (!((a >= '0' && a <= '9') || a == '.' || a == '+' || a == '-' || a == 'e' || a == 'E'))
            return std::nullopt;
        ascii += a;
    }
    char* end = nullptr;
    const double v = std::strtod(ascii.c_str(), &end);
    if (end != ascii.c_str() + ascii.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The ID after `tag`, four digits with leading zeros ("0952" gives "0953").
std::u16string nextId(std::u16string_view tag) {
    const auto n = readNumber(tag);
    if (!n) typeMismatch();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04ld", static_cast<long>(*n) + 1);
    return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

}  // namespace

bool readTruthValue(std::u16string_view text) {
    const std::u16string t = trimmed(text);
    if (equalsAsciiIgnoreCase<char16_t>(t, u"True")) return true;
    if (equalsAsciiIgnoreCase<char16_t>(t, u"False")) return false;
    const auto n = readNumber(t);
    if (!n) typeMismatch();
    return *n != 0;
}

double readFontSize(std::u16string_view text) {
    const auto n = readNumber(text);
    if (!n) typeMismatch();
    return *n;
}

frmSelAdrBook::frmSelAdrBook(std::unique_ptr<AddressBookView> view) : view_(std::move(view)) {}

frmSelAdrBook::~frmSelAdrBook() = default;

std::unique_ptr<frmSelAdrBook> frmSelAdrBook::Load(std::unique_ptr<AddressBookView> view) {
    std::unique_ptr<frmSelAdrBook> form(new frmSelAdrBook(std::move(view)));
    form->Form_Load();
    return form;
}

void frmSelAdrBook::Form_Load() {
    setRightToLeft(readTruthValue(GetString(StringId::kRightToLeft)));
    initTextLabel(Ctl::lblAdressbooks);
    initListBox(Ctl::lbBooks);
    initOption(Ctl::rbBusiness);
    initOption(Ctl::rbPrivate);
    initButton(Ctl::cmdCancel);
    initButton(Ctl::cmdOK);
    std::vector<Ctl> all;
    for (const auto& c : kAddressBookLayout) all.push_back(c.id);
    setLabelTexts(all);
    view_->selectOption(Ctl::rbBusiness);
}

void frmSelAdrBook::setRightToLeft(bool value) noexcept {
    // Each statement on its own: a control without the flag is passed over.
    try {
        view_->setDialogRightToLeft(value);
    } catch (const std::exception&) {
    }
    for (const auto& c : kAddressBookLayout) {
        try {
            view_->setRightToLeft(c.id, value);
        } catch (const std::exception&) {
        }
    }
}

void frmSelAdrBook::setFont(Ctl ctl, std::u16string_view nameId, std::u16string_view sizeId) {
    view_->setFontName(ctl, GetString(nameId));
    view_->setFontSize(ctl, readFontSize(GetString(sizeId)));
}

void frmSelAdrBook::initLabelStyle(Ctl lbl) { view_->setLabelStyle(lbl); }

void frmSelAdrBook::initTextLabel(Ctl lbl) {
    initLabelStyle(lbl);
    view_->setAlignmentLeft(lbl);
    setFont(lbl, StringId::kFontName, StringId::kFontSize);
    view_->setFontBold(lbl, false);
}

void frmSelAdrBook::initListBox(Ctl lb) {
    setFont(lb, StringId::kListFontName, StringId::kListFontSize);
}

void frmSelAdrBook::initOption(Ctl opt) {
    setFont(opt, StringId::kFontName, StringId::kFontSize);
    view_->setFontBold(opt, false);
    view_->setAlignmentLeft(opt);
}

void frmSelAdrBook::initButton(Ctl cmd) { setFont(cmd, StringId::kFontName, StringId::kFontSize); }

void frmSelAdrBook::setLabelTexts(std::span<const Ctl> ControlsList) {
    for (Ctl ctl : ControlsList) {
        std::u16string_view tag;
        try {
            tag = layoutOf(ctl).tag;
        } catch (const std::exception&) {
            continue;
        }
        if (tag.empty()) continue;
        try {
            view_->setCaption(ctl, GetString(tag));
        } catch (const std::exception&) {
        }
        try {
            view_->setTooltip(ctl, GetString(nextId(tag)));
        } catch (const std::exception&) {
        }
    }
}

bool frmSelAdrBook::init() noexcept {
    try {
        FileName.clear();
        view_->clearEntries();
        myNamespace_ = asObject(myOutlook->call(u"GetNamespace", {u"MAPI"}));
        myRootFolder_ = asObject(objectOf(myNamespace_, u"Folders")->call(u"GetFirst"));
        for (const Value& v : objectOf(myRootFolder_, u"Folders")->items()) {
            const ObjectRef folder = asObject(v);
            if (asInt(folder->get(u"DefaultItemType")) == kOlContactItem)
                view_->addEntry(asString(folder->get(u"Name")));
        }
        const ObjectRef explorer = this->explorer();
        if (asInt(objectOf(explorer, u"CurrentFolder")->get(u"DefaultItemType")) ==
            kOlContactItem) {
            if (asInt(objectOf(explorer, u"Selection")->get(u"Count")) > 0) {
                view_->addEntry(GetString(StringId::kSelectionEntry));
                view_->setItemData(view_->entryCount() - 1, kSelectionEntryData);
            }
        }
        const bool any = view_->entryCount() > 0;
        view_->setEnabled(Ctl::cmdOK, any);
        view_->setEnabled(Ctl::rbBusiness, any);
        view_->setEnabled(Ctl::rbPrivate, any);
        if (any) view_->setEntryMarked(0, true);
        return true;
    } catch (const std::exception& e) {
        // The dialog is not shown; the user learns why.
        const std::u16string description = describeFailure(e);
        showFailureNotice(StringId::kAddressBooksUnlisted, {description},
                          u"Outlook: the address books could not be listed: ", description);
        return false;
    } catch (...) {
        showFailureNotice(StringId::kAddressBooksUnlisted, {u"Unexpected failure"},
                          u"Outlook: the address books could not be listed: ",
                          u"Unexpected failure");
        return false;
    }
}

ObjectRef frmSelAdrBook::explorer() {
    return myExplorer ? myExplorer : asObject(myOutlook->call(u"ActiveExplorer"));
}

void frmSelAdrBook::Show() {
    view_->showModal([this] { cmdOK_Click(); }, [this] { cmdCancel_Click(); });
}

void frmSelAdrBook::cmdOK_Click() {
    FileName = WorkingFolder + u"\\" + NewTempName();
    std::function<void()> failureNotice;
    if (!exportContacts(FileName, {*view_, myRootFolder_, [this] { return explorer(); }},
                        failureNotice))
        FileName.clear();
    view_->hide();
    // A failed export is told once the dialog is gone, so that the notice
    // stands over the host window alone.
    if (failureNotice) failureNotice();
}

void frmSelAdrBook::cmdCancel_Click() {
    FileName.clear();
    view_->hide();
}

}  // namespace torva
