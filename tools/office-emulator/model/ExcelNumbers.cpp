// Excel's numbers as its cells show them: the 1900 date system with its
// leap day that never was, and the number formats the emulator knows.

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "Excel.h"

namespace torva::model {

namespace {

std::u16string ascii(const std::string& s) { return {s.begin(), s.end()}; }

// Days since 1 March of year 0 in the proleptic Gregorian calendar, and back.
int64_t daysOf(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy;
}

void dayOf(int64_t days, int& y, int& m, int& d) {
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Serial 0 is Excel's "0 January 1900"; 2958465 is 31 December 9999.
constexpr double kLastSerial = 2958465;

void dateOfSerial(double serial, int& y, int& m, int& d) {
    const int64_t s = static_cast<int64_t>(std::floor(serial));
    if (s == 0) {
        y = 1900, m = 1, d = 0;
    } else if (s == 60) {
        y = 1900, m = 2, d = 29;  // the day Excel counts and the calendar does not
    } else {
        dayOf(daysOf(1899, 12, 30) + (s < 60 ? s + 1 : s), y, m, d);
    }
}

std::u16string twoDigits(int n) { return {char16_t(u'0' + n / 10 % 10), char16_t(u'0' + n % 10)}; }

// Round half away from zero to `decimals` places, as Excel's formats do.
std::string fixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(std::abs(value) * scale) / scale;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, rounded);
    return (value < 0 && rounded != 0 ? "-" : "") + std::string(buf);
}

std::string general(double value) {
    if (value == std::floor(value) && std::abs(value) < 1e11) return fixed(value, 0);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10G", value);
    return buf;
}

}  // namespace

double excelSerialOf(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1)
        throw std::invalid_argument("not a day Excel holds");
    if (year == 1900 && month == 2 && day == 29) return 60;
    if (day > kDays[month - 1] + (month == 2 && leap))
        throw std::invalid_argument("not a day of the calendar");
    const int64_t ole = daysOf(year, month, day) - daysOf(1899, 12, 30);
    return static_cast<double>(ole < 61 ? ole - 1 : ole);
}

bool knownNumberFormat(std::u16string_view f) {
    return f == u"General" || f == u"0" || f == u"0.00" || f == u"#,##0" || f == u"dd.mm.yyyy" ||
           f == u"yyyy-mm-dd" || f == u"@";
}

std::u16string formatNumber(double value, std::u16string_view f) {
    if (f == u"General" || f == u"@") return ascii(general(value));
    if (f == u"0") return ascii(fixed(value, 0));
    if (f == u"0.00") return ascii(fixed(value, 2));
    if (f == u"#,##0") {
        std::string digits = fixed(value, 0);
        const size_t first = digits[0] == '-' ? 1 : 0;
        for (size_t at = digits.size(); at > first + 3; at -= 3) digits.insert(at - 3, ",");
        return ascii(digits);
    }
    if (f == u"dd.mm.yyyy" || f == u"yyyy-mm-dd") {
        if (value < 0 || value >= kLastSerial + 1)
            throw std::invalid_argument("no date has that serial number");
        int y = 0, m = 0, d = 0;
        dateOfSerial(value, y, m, d);
        const std::u16string year = twoDigits(y / 100) + twoDigits(y % 100);
        return f == u"dd.mm.yyyy" ? twoDigits(d) + u"." + twoDigits(m) + u"." + year
                                  : year + u"-" + twoDigits(m) + u"-" + twoDigits(d);
    }
    throw std::invalid_argument("a number format the emulator does not know");
}

}  // namespace torva::model
