#include "support/modLog.h"

#include <exception>

#include "base/Error.h"
#include "base/Text.h"
#include "support/modUtils.h"

namespace torva {

namespace {

std::u16string twoDigits(int value) {
    return {static_cast<char16_t>(u'0' + value / 10 % 10),
            static_cast<char16_t>(u'0' + value % 10)};
}

std::u16string_view markerOf(LogLevel level) {
    switch (level) {
        case LogError:
            return u" ### ";
        case LogInfo:
            return u" (I) ";
        default:
            return u" ??? ";
    }
}

void reportLogFailure(const std::u16string& description) noexcept {
    try {
        platform::messageBox(0,
                             u"Could not write Error-Log: File: " + WorkingFolder + u"\\" +
                                 u"torva.log" + u" Description: " + description,
                             u"TorvaAddIn", 0);
    } catch (...) {
        // Nothing is left to tell the user with.
    }
}

}  // namespace

std::u16string FormatDate(const platform::LocalTime& date) {
    std::u16string year;
    for (int v = date.year, i = 0; i < 4; ++i, v /= 10) {
        year.insert(year.begin(), static_cast<char16_t>(u'0' + v % 10));
    }
    return twoDigits(date.day) + u"." + twoDigits(date.month) + u"." + year;
}

std::u16string FormatTime(const platform::LocalTime& time, bool withSeconds) {
    std::u16string text = twoDigits(time.hour) + u":" + twoDigits(time.minute);
    if (withSeconds) {
        text += u":" + twoDigits(time.second);
    }
    return text;
}

void WriteLog(std::u16string_view message, LogLevel level) noexcept {
    if (level == LogTrace) {
        return;
    }
    try {
        const std::u16string path = WorkingFolder + u"\\" + u"torva.log";
        const std::u16string_view marker = markerOf(level);
        std::u16string line = FormatDate(platform::localDate());
        line += u" ";
        line += FormatTime(platform::localTime(), true);
        line += marker;
        line += message;
        line += u"\r\n";
        // One append of the whole line, so entries of several Office processes
        // never interleave.
        platform::appendToFile(path, platform::toAnsi(line));
    } catch (const Error& e) {
        reportLogFailure(e.description());
    } catch (const std::exception& e) {
        reportLogFailure(fromUtf8(e.what()));
    } catch (...) {
        reportLogFailure(u"Unknown error");
    }
}

}  // namespace torva
