#pragma once

// The date-time descriptors (TIMESTAMP, WITH TIME ZONE, WITH LOCAL TIME ZONE): the parts of one
// value with nanoseconds, and for the zoned kind its offset from UTC.

#include "oci/Handles.h"

namespace qdsi::oci {

struct DateTimeDescriptor : Handle {
    explicit DateTimeDescriptor(ub4 descriptorType)
        : Handle(descriptorType)
    {
    }
    bool set = false;
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    ub4 nanoseconds = 0;
    int zoneMinutes = 0; // WITH TIME ZONE only
};

Handle *newDateTime(ub4 descriptorType);
DateTimeDescriptor *dateTimeOf(const void *pointer);

// The stored text of a value: "YYYY-MM-DD HH24:MI:SS.FFFFFFFFF", with " +HH:MM" for a zoned one.
std::string storedText(const DateTimeDescriptor &value);
// Reads stored text (fraction and zone optional); false when it is not one.
bool fromStoredText(const std::string &text, DateTimeDescriptor &value);

} // namespace qdsi::oci
