#include "ui/model/FileUpdateDateTime.h"

#include <cmath>

namespace purga {

namespace {

constexpr int64_t kMsPerDay = 86'400'000;
// Days from 1970-01-01 back to the value's origin, 1899-12-30.
constexpr int64_t kDaysFrom1899To1970 = 25569;

// Days since 1970-01-01 of a civil date, and back.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool DaysInRange(int year, int month, int day) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

}  // namespace

double EncodeDateTime(const CivilDateTime& when) {
  const int64_t days = DaysFromCivil(when.year, when.month, when.day) + kDaysFrom1899To1970;
  const double time = (when.hour * 3600 + when.minute * 60 + when.second) / 86400.0;
  // Before the origin the fraction still counts forward from midnight, as the
  // pickers' values do.
  return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

CivilDateTime DecodeDateTime(double value) {
  const double whole = std::trunc(value);
  int64_t ms = std::llround(std::fabs(value - whole) * kMsPerDay);
  if (ms >= kMsPerDay) ms = kMsPerDay - 1;  // never a 24th hour
  CivilDateTime when;
  CivilFromDays(static_cast<int64_t>(whole) - kDaysFrom1899To1970, when.year, when.month, when.day);
  const int64_t seconds = ms / 1000;
  when.hour = static_cast<int>(seconds / 3600);
  when.minute = static_cast<int>(seconds / 60 % 60);
  when.second = static_cast<int>(seconds % 60);
  return when;
}

double DatePart(double value) { return std::trunc(value); }

double TimePart(double value) { return std::fabs(value - std::trunc(value)); }

double CombineDateTime(double date, double time) {
  const double day = DatePart(date);
  return day >= 0 ? day + TimePart(time) : day - TimePart(time);
}

uint32_t PackDosDateTime(double value) {
  const CivilDateTime when = DecodeDateTime(value);
  if (when.year < 1980 || when.year > 2107) return 0;
  const uint32_t date =
      static_cast<uint32_t>(((when.year - 1980) << 9) | (when.month << 5) | when.day);
  const uint32_t time =
      static_cast<uint32_t>((when.hour << 11) | (when.minute << 5) | (when.second / 2));
  return date << 16 | time;
}

std::optional<double> UnpackDosDateTime(uint32_t packed) {
  CivilDateTime when;
  when.year = 1980 + static_cast<int>(packed >> 25);
  when.month = static_cast<int>(packed >> 21 & 0xF);
  when.day = static_cast<int>(packed >> 16 & 0x1F);
  when.hour = static_cast<int>(packed >> 11 & 0x1F);
  when.minute = static_cast<int>(packed >> 5 & 0x3F);
  when.second = static_cast<int>(packed & 0x1F) * 2;
  if (!DaysInRange(when.year, when.month, when.day) || when.hour > 23 || when.minute > 59 ||
      when.second > 59)
    return std::nullopt;
  return EncodeDateTime(when);
}

}  // namespace purga
