#pragma once
// The IDs of the Torva.Sys texts the add-in asks for. The texts themselves
// live only in the string table; these names say where each one is shown.

#include <string_view>

namespace torva::StringId {

// The toolbar's name, and the Ribbon group's label.
inline constexpr std::u16string_view kToolbarName = u"0900";

// Each host's button caption, button tooltip and Tools-menu caption.
inline constexpr std::u16string_view kWordButtonCaption = u"0910";
inline constexpr std::u16string_view kWordButtonTooltip = u"0911";
inline constexpr std::u16string_view kWordMenuCaption = u"0912";
inline constexpr std::u16string_view kExcelButtonCaption = u"0920";
inline constexpr std::u16string_view kExcelButtonTooltip = u"0921";
inline constexpr std::u16string_view kExcelMenuCaption = u"0922";
inline constexpr std::u16string_view kAccessButtonCaption = u"0930";
inline constexpr std::u16string_view kAccessButtonTooltip = u"0931";
inline constexpr std::u16string_view kAccessMenuCaption = u"0932";
inline constexpr std::u16string_view kOutlookButtonCaption = u"0940";
inline constexpr std::u16string_view kOutlookButtonTooltip = u"0941";
inline constexpr std::u16string_view kOutlookMenuCaption = u"0942";

// Excel: the selection is not a block of at least two rows and two columns.
inline constexpr std::u16string_view kSelectionTooSmall = u"0923";
// Excel export failures: a chart sheet, past row 600, past the last header
// letter, the export file, any other refused call.
inline constexpr std::u16string_view kNotAWorksheet = u"0924";
inline constexpr std::u16string_view kPastRowLimit = u"0925";
inline constexpr std::u16string_view kPastLastLetter = u"0926";
inline constexpr std::u16string_view kExcelExportFileFailed = u"0927";
inline constexpr std::u16string_view kExcelRefusedCall = u"0928";

// Access: no database open; the current object is neither table nor query.
inline constexpr std::u16string_view kNoDatabaseOpen = u"0933";
inline constexpr std::u16string_view kNotATableOrQuery = u"0934";

// Outlook: the address books could not be listed; an entry that is not a
// contact (with or without its name); an unreadable contact; the export
// file; any other refused call.
inline constexpr std::u16string_view kAddressBooksUnlisted = u"0943";
inline constexpr std::u16string_view kNamedEntryNotAContact = u"0944";
inline constexpr std::u16string_view kEntryNotAContact = u"0945";
inline constexpr std::u16string_view kUnreadableContact = u"0946";
inline constexpr std::u16string_view kOutlookExportFileFailed = u"0947";
inline constexpr std::u16string_view kOutlookRefusedCall = u"0948";
// The address-book list's last entry: the explorer's selection.
inline constexpr std::u16string_view kSelectionEntry = u"0962";

// The address-book dialog's reading order and fonts.
inline constexpr std::u16string_view kRightToLeft = u"1002";
inline constexpr std::u16string_view kFontName = u"1010";
inline constexpr std::u16string_view kFontSize = u"1011";
inline constexpr std::u16string_view kListFontName = u"1050";
inline constexpr std::u16string_view kListFontSize = u"1051";

// Every notice's title; the hand-off and launch failures; a failed action.
inline constexpr std::u16string_view kNoticeTitle = u"2300";
inline constexpr std::u16string_view kHandOffUnwritten = u"2301";
inline constexpr std::u16string_view kPlakoraMissing = u"2302";
inline constexpr std::u16string_view kPlakoraNotStarted = u"2303";
inline constexpr std::u16string_view kActionFailed = u"2304";

}  // namespace torva::StringId
