#pragma once
// Local calendar time of file times and of "now".
#include "platform/file_system.h"

namespace tandrel::platform {

struct CalendarFields {
    int year = 0, month = 0, day = 0;  // month and day from 1
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Local calendar fields of a file time, with the offset in force at that date.
// False when the time cannot be converted.
bool FileTimeToLocalFields(FileTime time, CalendarFields& fields);
// The file time of local calendar fields; false when they cannot be converted.
bool LocalFieldsToFileTime(const CalendarFields& fields, FileTime& time);
// The current local time.
CalendarFields NowLocalFields();

}  // namespace tandrel::platform
