#include "PlistOperate/PlistDate.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date (month 1..12).
std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

PlistDate::PlistDate() : m_seconds(static_cast<std::int64_t>(std::time(nullptr))) {}

void PlistDate::set(const std::string &text)
{
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ", &year, &month, &day, &hour, &minute,
                &second);

    // Out-of-range fields carry over like the C library's time conversion does;
    // the scan widths keep every field small, so nothing here can overflow.
    const std::int64_t monthIndex = std::int64_t(month) - 1;
    const std::int64_t y = year + floorDiv(monthIndex, 12);
    const int m = int(monthIndex - floorDiv(monthIndex, 12) * 12) + 1;
    const std::int64_t days = daysFromCivil(y, m, 1) + (day - 1);
    const std::int64_t t = days * 86400 + std::int64_t(hour) * 3600 + std::int64_t(minute) * 60
                           + second;
    if (t < -1)
        throw std::runtime_error("PlistDate::set() date invalid");
    m_seconds = t;
}

void PlistDate::setFromAppleTime(double secondsSince2001)
{
    const double v = secondsSince2001 + 978307200.0;
    // The bounds are the exact powers of two around the 64-bit range.
    if (!std::isfinite(v) || v >= 9223372036854775808.0 || v < -9223372036854775808.0)
        throw std::runtime_error("Plist: date out of range");
    m_seconds = static_cast<std::int64_t>(v);
}
