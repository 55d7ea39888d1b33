// Date-time values as the editor's pickers hold them, and the FAT (MS-DOS)
// packed date-time that files carry.
//
// A date-time value counts days since 1899-12-30: its integer part is the date
// and its fraction the time of day. A packed date-time is 32 bits: the high
// word the date (bits 9-15 year - 1980, 5-8 month, 0-4 day), the low word the
// time (bits 11-15 hours, 5-10 minutes, 0-4 seconds / 2), in local time.
#pragma once

#include <cstdint>
#include <optional>

namespace purga {

struct CivilDateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The value of a calendar date and time of day (proleptic Gregorian).
double EncodeDateTime(const CivilDateTime& when);
// The calendar date and time of a value, to the nearest millisecond; the
// milliseconds are dropped.
CivilDateTime DecodeDateTime(double value);

// The date of `date` with the time of day of `time`.
double CombineDateTime(double date, double time);
// The whole days of a value, and its time of day alone.
double DatePart(double value);
double TimePart(double value);

// Packs a value; odd seconds become the even second below. 0 when the year
// lies outside 1980..2107, which no conversion accepts.
uint32_t PackDosDateTime(double value);
// The value of a packed date-time; nothing when a field is out of range.
std::optional<double> UnpackDosDateTime(uint32_t packed);

}  // namespace purga
