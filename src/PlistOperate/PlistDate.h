#pragma once
// A property-list date: whole seconds since 1970-01-01T00:00:00 UTC.

#include <cstdint>
#include <string>

class PlistDate
{
public:
    // Holds the current time.
    PlistDate();
    explicit PlistDate(std::int64_t secondsSinceEpoch) : m_seconds(secondsSinceEpoch) {}

    // Text of the form "YYYY-MM-DDThh:mm:ssZ", meant as UTC. Fields that the
    // text does not provide keep the value of 1970-01-01T00:00:00. Throws
    // "PlistDate::set() date invalid" for a time before 1969-12-31T23:59:59.
    void set(const std::string &text);

    // A binary date: seconds since 2001-01-01T00:00:00 UTC, truncated toward zero.
    // Throws for a value that is not finite or does not fit 64 bits.
    void setFromAppleTime(double secondsSince2001);

    std::int64_t timeAsEpoch() const { return m_seconds; }
    void setTimeFromEpoch(std::int64_t seconds) { m_seconds = seconds; }

    bool operator==(const PlistDate &other) const { return m_seconds == other.m_seconds; }
    bool operator!=(const PlistDate &other) const { return m_seconds != other.m_seconds; }

private:
    std::int64_t m_seconds;
};
