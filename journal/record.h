// One prefix write as the journal keeps it, and the journal's times. A record
// is one JSON line; its time is the local time with its offset from UTC, so
// that lines written on machines in several time zones still compare.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zenor9::journal {

// A moment as a wall clock showed it: the instant, and how far local time was
// from UTC then.
struct LocalTime {
  std::int64_t unixSeconds = 0;
  int utcOffsetMinutes = 0;  // east of Greenwich positive: +180 in Moscow
};

// Where records take their time from; tests give a fixed one.
using TimeSource = std::function<LocalTime()>;

// This computer's clock and time zone now (one file per platform).
LocalTime SystemLocalTime();

// "2026-12-07T21:03:05+03:00".
std::string IsoTime(const LocalTime& time);

// The instant (seconds since the epoch) of a date-time with its offset from
// UTC, as IsoTime writes it (seconds optional, "Z" for UTC); nothing for any
// other text.
std::optional<std::int64_t> InstantOfIsoTime(std::string_view text);

// The instant a --since text names: a date YYYY-MM-DD (its midnight), or a
// date-time YYYY-MM-DDTHH:MM[:SS] ('T' or a blank between), in this computer's
// time zone unless it ends in Z or +HH:MM / -HH:MM. Nothing for any other
// text, or for a date that does not exist (2026-02-30).
std::optional<std::int64_t> ParseSince(std::string_view text);

struct WriteRecord {
  std::string time;                   // IsoTime
  std::string host;                   // this computer's name
  std::string user;                   // who ran the write
  std::string port;                   // as given: COM1, /dev/ttyUSB0
  std::optional<std::string> device;  // what it stood for; none when the COM map gave none
  std::optional<int> net;             // none when the write settled on no register
  std::optional<std::string> before;  // the prefix before the write; none when not read
  std::string asked;                  // "20" to "29" or "off"
  bool readBack = false;              // the cells were read after the write
  std::optional<std::string> holds;   // what that read found; none when it failed
  bool ok = false;
  std::string error;     // the error key of a failed write; empty on success
  bool stopped = false;  // a stop request came during the write
  std::string version;   // the program's
  bool written = false;  // a write frame went to the register
  // The register holds something other than before, or may: what it held or
  // holds could not be read.
  bool changed = false;
  std::optional<std::string> label;  // the shop or line the write was run for
  std::optional<std::string> note;   // a ticket number or the like
  std::string program;               // which program wrote: kCommandLine or kWindowProgram; empty
                                     // in the records of versions that did not say
};

// The programs that write records.
inline constexpr const char* kCommandLine = "zenor9";
inline constexpr const char* kWindowProgram = "zenor9-prefix";

// The record as its journal line has it: "holds" is left out when the cells
// were not read back, and null when they could not be read; "label" and
// "note" only when given.
nlohmann::ordered_json RecordJson(const WriteRecord& record);
// The same as one line of text, without the line break; bytes that are not
// UTF-8 (a device path may have them) are replaced.
std::string JsonLine(const WriteRecord& record);
// The record a journal line's JSON holds; nothing when it is no record: not an
// object, no valid time, no value asked, no ok, or a known field of the wrong
// type. Fields it does not know (a later version's) are ignored. A line from
// before "written" and "changed" were kept gets them from what it says: a
// write frame went out when the write succeeded or its cells were read after
// it.
std::optional<WriteRecord> RecordOfJson(const nlohmann::ordered_json& json);

}  // namespace zenor9::journal
