// The scenario's "excel" section: the active sheet with its cells and column
// widths, and what is selected.

#include <cstdio>
#include <stdexcept>

#include "ScenarioFields.h"
#include "ScenarioParts.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using namespace fields;

// "1980-01-05" as a date cell; false for any other text.
bool readDate(const std::string& t, const std::string& field, model::CellValue& cell) {
    int year = 0, month = 0, day = 0, used = 0;
    if (t.size() != 10 || t[4] != '-' || t[7] != '-' ||
        std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10)
        return false;
    try {
        cell.number = model::excelSerialOf(year, month, day);
    } catch (const std::invalid_argument&) {
        throw ScenarioError(field, "expected a day from 1900-01-01 to 9999-12-31");
    }
    cell.kind = model::CellValue::Kind::Date;
    return true;
}

// A cell given as { "value": 80331, "numberFormat": "0" }; a date as
// "value": "1980-01-05", any other text as a text cell.
model::CellValue cellValue(const json& v, const std::string& field) {
    model::CellValue cell;
    eachField(v, field, [&](const std::string& key, const json& value, const std::string& f) {
        if (key == "value") {
            if (value.is_number()) {
                cell.kind = model::CellValue::Kind::Number;
                cell.number = value.get<double>();
            } else if (const std::string t = text(value, f); !readDate(t, f, cell)) {
                cell.text = fromUtf8(t);
            }
        } else if (key == "numberFormat") {
            cell.numberFormat = fromUtf8(text(value, f));
            if (!model::knownNumberFormat(cell.numberFormat))
                throw ScenarioError(f,
                                    "expected General, 0, 0.00, #,##0, dd.mm.yyyy, "
                                    "yyyy-mm-dd or @");
        } else {
            throw ScenarioError(f, "unknown field");
        }
    });
    if (!v.contains("value")) throw ScenarioError(field + ".value", "missing");
    return cell;
}

void readCells(const json& cells, const std::string& field, model::ExcelSetup& setup) {
    eachField(cells, field, [&](const std::string& cell, const json& shown, const std::string& f) {
        try {
            model::parseA1Cell(fromUtf8(cell));
        } catch (const std::invalid_argument&) {
            throw ScenarioError(f, "expected an A1-style cell name");
        }
        if (shown.is_object())
            setup.valueCells.emplace_back(fromUtf8(cell), cellValue(shown, f));
        else
            setup.cells.emplace_back(fromUtf8(cell), fromUtf8(text(shown, f)));
    });
}

void readColumnWidths(const json& widths, const std::string& field, model::ExcelSetup& setup) {
    eachField(widths, field,
              [&](const std::string& column, const json& width, const std::string& f) {
                  int32_t col = 0;
                  try {
                      col = model::parseA1Cell(fromUtf8(column) + u"1").second;
                  } catch (const std::invalid_argument&) {
                      throw ScenarioError(f, "expected a column's letters");
                  }
                  if (!width.is_number() || width.get<double>() < 1 || width.get<double>() > 255)
                      throw ScenarioError(f, "expected a width from 1 to 255 characters");
                  setup.columnWidths.emplace_back(col, width.get<double>());
              });
}

void readActiveSheet(const json& sheet, model::ExcelSetup& setup) {
    eachField(
        sheet, "excel.activeSheet",
        [&](const std::string& key, const json& value, const std::string& f) {
            if (key == "kind")
                setup.chartSheet = choice(value, f, std::array{"worksheet", "chart"}) == "chart";
            else if (key == "name")
                setup.sheetName = fromUtf8(text(value, f));
            else if (key == "cells")
                readCells(value, f, setup);
            else if (key == "columnWidths")
                readColumnWidths(value, f, setup);
            else
                throw ScenarioError(f, "unknown field");
        });
}

void readSelection(const json& sel, model::ExcelSetup& setup) {
    if (sel.is_object()) {
        if (sel.size() != 1 || !sel.contains("kind") ||
            text(sel["kind"], "excel.selection.kind") != "chart")
            throw ScenarioError("excel.selection", R"(expected { "kind": "chart" })");
        setup.chartSelected = true;
        return;
    }
    setup.selection = fromUtf8(text(sel, "excel.selection"));
    try {
        model::parseA1Selection(setup.selection);
    } catch (const std::invalid_argument&) {
        throw ScenarioError("excel.selection", "expected an A1-style selection");
    }
}
}  // namespace

model::ExcelSetup excelSetup(const json& excel) {
    model::ExcelSetup setup;
    setup.selection = u"A1";  // where a fresh workbook has it
    if (!excel.is_object()) return setup;
    for (const auto& [key, value] : excel.items())
        if (key != "activeSheet" && key != "selection" && key != "workbook")
            throw ScenarioError("excel." + key, "unknown field");
    if (excel.contains("workbook")) {
        if (!excel["workbook"].is_null())
            throw ScenarioError("excel.workbook", "expected null (no workbook open)");
        if (excel.contains("activeSheet") || excel.contains("selection"))
            throw ScenarioError("excel.workbook",
                                "no workbook open has no active sheet or selection");
        setup.noWorkbook = true;
    }
    if (excel.contains("activeSheet")) readActiveSheet(excel["activeSheet"], setup);
    if (excel.contains("selection")) readSelection(excel["selection"], setup);
    return setup;
}

}  // namespace torva::emulator
