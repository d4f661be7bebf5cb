// The Excel export on whatever R1C1 text Excel might hand it for the areas of
// a selection: it must end with true or false, never crash, never read past
// its row flags, and a file it calls complete is whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "excel_export/modExcelExport.h"
#include "platform/posix/Recorder.h"

using namespace torva;
using automation::Args;
using automation::Guid;
using automation::ObjectRef;
using automation::Value;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

int32_t intArg(const Args& args, size_t i) {
    return i < args.size() ? automation::asInt(args[i].value) : 0;
}

// Just enough of Excel for the export: every member it asks for, by name.
class Fake : public automation::Object, public std::enable_shared_from_this<Fake> {
  public:
    explicit Fake(std::u16string type) : type_(std::move(type)) {}

    std::u16string address;        // a Range area's Address
    std::vector<ObjectRef> areas;  // a Range's Areas, or the Areas collection's items
    ObjectRef selection, sheet, cells;

    Value get(std::u16string_view name, const Args& args) override {
        if (name == u"Selection") return selection;
        if (name == u"ActiveSheet") return sheet;
        if (name == u"Cells") return cells;
        if (name == u"Areas") {
            auto collection = std::make_shared<Fake>(u"Areas");
            collection->areas = areas;
            return ObjectRef(collection);
        }
        if (name == u"Count") return static_cast<int32_t>(areas.size());
        if (name == u"Address") return address;
        if (name == u"Text") return std::u16string();  // an empty sheet
        if (name == u"Item") {
            if (type_ == u"Areas") {
                const int32_t i = intArg(args, 0);
                if (i < 1 || static_cast<size_t>(i) > areas.size())
                    throw automation::Error(static_cast<int32_t>(0x800A03EC), u"No such area");
                return areas[static_cast<size_t>(i - 1)];
            }
            const int32_t row = intArg(args, 0), col = intArg(args, 1);
            if (row < 1 || row > 1048576 || col < 1 || col > 16384)
                throw automation::Error(static_cast<int32_t>(0x800A03EC), u"No such cell");
            return ObjectRef(std::make_shared<Fake>(u"Range"));
        }
        throw automation::Error(static_cast<int32_t>(0x80020003), u"Member not found");
    }
    void put(std::u16string_view, const Value&) override {}
    Value call(std::u16string_view name, const Args& args) override { return get(name, args); }
    std::vector<Value> items() override { return {areas.begin(), areas.end()}; }
    void appendText(std::u16string_view name, std::u16string& out) override {
        out += automation::asString(get(name, {}));
    }
    std::u16string typeName() override { return type_; }
    ObjectRef queryInterface(const Guid&) override { return shared_from_this(); }
    automation::Subscription subscribe(const Guid&, automation::EventHandler) override {
        return {};
    }
    bool sameObject(automation::Object& other) override { return this == &other; }

  private:
    std::u16string type_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Areas are separated by NUL; the text is UTF-16 as Excel's would be,
    // built from bytes so that the fuzzer reaches digits and letters quickly.
    auto app = std::make_shared<Fake>(u"Application");
    auto sheet = std::make_shared<Fake>(u"Worksheet");
    sheet->cells = std::make_shared<Fake>(u"Range");
    auto selection = std::make_shared<Fake>(u"Range");
    std::u16string text;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0) {
            auto area = std::make_shared<Fake>(u"Range");
            area->address = text;
            selection->areas.push_back(area);
            text.clear();
            if (selection->areas.size() == 8) break;
        } else {
            text += static_cast<char16_t>(data[i]);
        }
    }
    app->selection = selection;
    app->sheet = sheet;

    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / "torva-fuzz-excel";
        std::filesystem::create_directories(d);
        return d;
    }();
    const std::filesystem::path file = dir / "export.tmp";
    std::filesystem::remove(file);
    const std::u16string path = file.u16string();

    ExcelExportState xl;
    const bool ok = exportSelection(path, app, xl);
    platform::posix::recorder().clear();  // the notices would pile up

    const RangeBounds b = xl.selectionBounds;
    if (ok) {
        // A complete file: the byte-order mark, whole UTF-16 units, CR LF last,
        // and a block of at least two rows and two columns within the flags.
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        require(bytes.size() >= 6 && bytes.compare(0, 2, "\xFF\xFE") == 0);
        require(bytes.size() % 2 == 0);
        require(bytes.compare(bytes.size() - 4, 4, std::string("\r\0\n\0", 4)) == 0);
        require(b.lastRow - b.firstRow >= 1 && b.lastCol - b.firstCol >= 1);
        require(b.firstRow >= 1 && b.lastRow <= kHighestFlaggedRow);
    }
    return 0;
}
