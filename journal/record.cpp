#include "journal/record.h"

#include <cstdio>
#include <ctime>

namespace zenor9::journal {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct Civil {
  std::int64_t year;
  int month;
  int day;
};

Civil CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  const int month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

struct DateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool hasTime = false;
  std::optional<int> offsetMinutes;  // none: local time
};

// Reads a date-time text from left to right.
class TextReader {
 public:
  explicit TextReader(std::string_view text) : text_(text) {}
  bool AtEnd() const { return at_ == text_.size(); }
  bool Take(char c) {
    if (AtEnd() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  // Exactly `count` decimal digits.
  bool Number(int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i, ++at_) {
      if (AtEnd() || text_[at_] < '0' || text_[at_] > '9') return false;
      value = value * 10 + (text_[at_] - '0');
    }
    return true;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

bool ReadOffset(TextReader& in, DateTime& time) {
  if (in.Take('Z')) {
    time.offsetMinutes = 0;
    return true;
  }
  const bool east = in.Take('+');
  if (!east && !in.Take('-')) return true;  // none: local time
  int hours = 0;
  int minutes = 0;
  if (!in.Number(2, hours) || !in.Take(':') || !in.Number(2, minutes)) return false;
  if (hours > 23 || minutes > 59) return false;
  time.offsetMinutes = (east ? 1 : -1) * (hours * 60 + minutes);
  return true;
}

bool ReadClock(TextReader& in, DateTime& time) {
  if (!in.Take('T') && !in.Take(' ')) return false;
  if (!in.Number(2, time.hour) || !in.Take(':') || !in.Number(2, time.minute)) return false;
  if (in.Take(':') && !in.Number(2, time.second)) return false;
  time.hasTime = true;
  return ReadOffset(in, time);
}

bool Exists(const DateTime& time) {
  return time.month >= 1 && time.month <= 12 && time.day >= 1 &&
         time.day <= DaysInMonth(time.year, time.month) && time.hour <= 23 && time.minute <= 59 &&
         time.second <= 59;
}

std::optional<DateTime> ParseDateTime(std::string_view text) {
  TextReader in(text);
  DateTime time;
  if (!in.Number(4, time.year) || !in.Take('-') || !in.Number(2, time.month) || !in.Take('-') ||
      !in.Number(2, time.day)) {
    return std::nullopt;
  }
  if (!in.AtEnd() && !ReadClock(in, time)) return std::nullopt;
  if (!in.AtEnd() || !Exists(time)) return std::nullopt;
  return time;
}

std::int64_t UtcInstant(const DateTime& time) {
  return DaysFromCivil(time.year, time.month, time.day) * kSecondsPerDay + time.hour * 3600 +
         time.minute * 60 + time.second - std::int64_t{*time.offsetMinutes} * 60;
}

// The instant of a wall-clock time in this computer's time zone, summer time
// as it was then.
std::int64_t LocalInstant(const DateTime& time) {
  std::tm fields{};
  fields.tm_year = time.year - 1900;
  fields.tm_mon = time.month - 1;
  fields.tm_mday = time.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  fields.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&fields));
}

template <typename T>
ordered_json OrNull(const std::optional<T>& value) {
  return value ? ordered_json(*value) : ordered_json(nullptr);
}

// `key` into `value`: true when it is a string, or when it is absent or null
// and not `required`.
bool ReadText(const ordered_json& object, const char* key, std::string& value,
              bool required = false) {
  const auto field = object.find(key);
  if (field == object.end() || field->is_null()) return !required;
  if (!field->is_string()) return false;
  value = field->get<std::string>();
  return true;
}

bool ReadOptionalText(const ordered_json& object, const char* key,
                      std::optional<std::string>& value) {
  std::string text;
  const auto field = object.find(key);
  if (field == object.end() || field->is_null()) return true;
  if (!ReadText(object, key, text)) return false;
  value = text;
  return true;
}

bool ReadFlag(const ordered_json& object, const char* key, bool& value, bool required = false) {
  const auto field = object.find(key);
  if (field == object.end()) return !required;
  if (!field->is_boolean()) return false;
  value = field->get<bool>();
  return true;
}

bool ReadNet(const ordered_json& object, std::optional<int>& net) {
  const auto field = object.find("net");
  if (field == object.end() || field->is_null()) return true;
  if (!field->is_number_integer()) return false;
  const std::int64_t value = field->get<std::int64_t>();
  if (value < 0 || value > 99) return false;
  net = static_cast<int>(value);
  return true;
}

// "holds" present means the cells were read back; null that the read failed.
bool ReadHolds(const ordered_json& object, WriteRecord& record) {
  record.readBack = object.contains("holds");
  return ReadOptionalText(object, "holds", record.holds);
}

// What a line written before "written" and "changed" were kept says of them:
// only a write frame makes the cells read after a failure, and a value before
// or after that is unknown may have been a change.
void DeriveWhatChanged(WriteRecord& record) {
  record.written = record.ok || record.readBack;
  const std::optional<std::string> after =
      record.readBack ? record.holds : (record.ok ? std::optional(record.asked) : std::nullopt);
  record.changed = record.written && (!record.before || !after || *record.before != *after);
}

bool ReadWhatChanged(const ordered_json& object, WriteRecord& record) {
  if (!object.contains("written") && !object.contains("changed")) {
    DeriveWhatChanged(record);
    return true;
  }
  return ReadFlag(object, "written", record.written) && ReadFlag(object, "changed", record.changed);
}

}  // namespace

std::string IsoTime(const LocalTime& time) {
  const std::int64_t local = time.unixSeconds + std::int64_t{time.utcOffsetMinutes} * 60;
  std::int64_t days = local / kSecondsPerDay;
  std::int64_t seconds = local % kSecondsPerDay;
  if (seconds < 0) {
    seconds += kSecondsPerDay;
    --days;
  }
  const Civil date = CivilFromDays(days);
  const int offset = time.utcOffsetMinutes < 0 ? -time.utcOffsetMinutes : time.utcOffsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                static_cast<long long>(date.year), date.month, date.day,
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60), time.utcOffsetMinutes < 0 ? '-' : '+', offset / 60,
                offset % 60);
  return text;
}

std::optional<std::int64_t> InstantOfIsoTime(std::string_view text) {
  const std::optional<DateTime> time = ParseDateTime(text);
  if (!time || !time->hasTime || !time->offsetMinutes) return std::nullopt;
  return UtcInstant(*time);
}

std::optional<std::int64_t> ParseSince(std::string_view text) {
  const std::optional<DateTime> time = ParseDateTime(text);
  if (!time) return std::nullopt;
  return time->offsetMinutes ? UtcInstant(*time) : LocalInstant(*time);
}

ordered_json RecordJson(const WriteRecord& record) {
  ordered_json line;
  line["time"] = record.time;
  line["host"] = record.host;
  line["user"] = record.user;
  line["port"] = record.port;
  line["device"] = OrNull(record.device);
  line["net"] = OrNull(record.net);
  line["before"] = OrNull(record.before);
  line["asked"] = record.asked;
  if (record.readBack) line["holds"] = OrNull(record.holds);
  line["ok"] = record.ok;
  line["error"] = record.error.empty() ? ordered_json(nullptr) : ordered_json(record.error);
  line["stopped"] = record.stopped;
  line["version"] = record.version;
  line["program"] = record.program;
  line["written"] = record.written;
  line["changed"] = record.changed;
  if (record.label) line["label"] = *record.label;
  if (record.note) line["note"] = *record.note;
  return line;
}

std::string JsonLine(const WriteRecord& record) {
  return RecordJson(record).dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<WriteRecord> RecordOfJson(const ordered_json& line) {
  if (!line.is_object()) return std::nullopt;
  WriteRecord record;
  const bool fine =
      ReadText(line, "time", record.time, true) && InstantOfIsoTime(record.time).has_value() &&
      ReadText(line, "asked", record.asked, true) && ReadFlag(line, "ok", record.ok, true) &&
      ReadText(line, "host", record.host) && ReadText(line, "user", record.user) &&
      ReadText(line, "port", record.port) && ReadOptionalText(line, "device", record.device) &&
      ReadNet(line, record.net) && ReadOptionalText(line, "before", record.before) &&
      ReadHolds(line, record) && ReadText(line, "error", record.error) &&
      ReadFlag(line, "stopped", record.stopped) && ReadText(line, "version", record.version) &&
      ReadText(line, "program", record.program) && ReadOptionalText(line, "label", record.label) &&
      ReadOptionalText(line, "note", record.note) && ReadWhatChanged(line, record);
  if (!fine) return std::nullopt;
  return record;
}

}  // namespace zenor9::journal
