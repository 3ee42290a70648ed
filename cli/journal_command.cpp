#include "cli/journal_command.h"

#include <cstdio>
#include <string_view>

#include "cli/outcome.h"
#include "files/files.h"
#include "journal/journal.h"

namespace zenor9::cli {

namespace {

// The length of the UTF-8 sequence of a character at `at` that a terminal
// shows as text; 0 for a control character (C0, DEL, C1) and for bytes that
// are no UTF-8.
std::size_t ShownSequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const unsigned first = byte(at);
  if (first < 0x80) return first < 0x20 || first == 0x7F ? 0 : 1;
  const std::size_t length = first >= 0xF0 && first <= 0xF4   ? 4
                             : first >= 0xE0 && first <= 0xEF ? 3
                             : first >= 0xC2 && first <= 0xDF ? 2
                                                              : 0;
  if (first == 0xC2 && byte(at + 1) < 0xA0) return 0;  // C1 controls, U+0080 to U+009F
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Text from a journal that anyone who may write its folder may have written,
// made safe to print on a terminal: control characters and bytes that are not
// UTF-8 as \xNN.
std::string Printable(std::string_view text) {
  std::string shown;
  for (std::size_t at = 0; at < text.size();) {
    if (const std::size_t length = ShownSequenceAt(text, at); length > 0) {
      shown.append(text.substr(at, length));
      at += length;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[at++]));
    shown += escaped;
  }
  return shown;
}

// A prefix from the journal as the user reads it: off in the user's word.
std::string PrefixText(const std::string& value) {
  return value == "off" ? std::string(Tr("off")) : Printable(value);
}

std::string ValueText(const std::optional<std::string>& value) {
  return value ? PrefixText(*value) : "?";
}

std::string NameText(const std::string& name) {
  return name.empty() ? "?" : Printable(name);
}

std::string ReadBackText(const journal::WriteRecord& record) {
  if (!record.readBack) return Tr("not read back");
  if (!record.holds) return Tr("read back: could not be read");
  return Tr("read back %s", PrefixText(*record.holds));
}

std::string ResultText(const journal::WriteRecord& record) {
  std::string text = record.ok ? Tr("done") : Tr("failed: %s", NameText(record.error));
  if (record.stopped) text.append(", ").append(Tr("stopped"));
  return text;
}

// "  label: shop 12  note: INC-4711", or nothing when the write had neither.
std::string LabelAndNoteText(const journal::WriteRecord& record) {
  std::string text;
  if (record.label) text += "  " + Tr("label: %s", Printable(*record.label));
  if (record.note) text += "  " + Tr("note: %s", Printable(*record.note));
  return text;
}

// "2026-12-07T21:03:05+03:00  ivan@kassa-3  COM1 (/dev/ttyUSB0)  register 7  23 -> 27
// read back 27  done  label: shop 12".
std::string EntryLine(const journal::WriteRecord& record) {
  std::string port = NameText(record.port);
  if (record.device && *record.device != record.port)
    port += " (" + Printable(*record.device) + ")";
  const std::string net = record.net ? std::to_string(*record.net) : "?";
  std::string who = NameText(record.user) + "@" + NameText(record.host);
  // The command line's records say nothing more, as before they named it.
  if (!record.program.empty() && record.program != journal::kCommandLine)
    who.append(" ").append(Printable(record.program));
  return Printable(record.time) + "  " + who + "  " + port + "  " + Tr("register %s", net) + "  " +
         ValueText(record.before) + " -> " + PrefixText(record.asked) + "  " +
         ReadBackText(record) + "  " + ResultText(record) + LabelAndNoteText(record);
}

// A JSON array with one record a line, so that grep and jq both read it.
void PrintJson(const journal::Listing& listing) {
  std::string text = "[";
  for (const journal::Entry& entry : listing.entries) {
    text += text.size() == 1 ? "\n" : ",\n";
    text += entry.json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
  text += listing.entries.empty() ? "]" : "\n]";
  std::printf("%s\n", text.c_str());
}

void SayDamagedLines(const journal::Listing& listing) {
  for (const journal::DamagedLine& damaged : listing.damaged) {
    std::fprintf(stderr, "%s\n",
                 Tr("%s:%s: damaged line skipped: %s", Printable(files::PathText(damaged.file)),
                    damaged.line, Printable(damaged.text))
                     .c_str());
  }
}

void SayNothingListed(const journal::Listing& listing, const std::string& journal) {
  const std::string text = listing.records == 0 ? Tr("the journal %s holds no writes", journal)
                                                : Tr("no write in the journal %s matches", journal);
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

const char* JournalHelp() {
  return Tr(R"(Each write the command line begins, done or failed, is one line: its time with
the offset from UTC, user@host, the port as given (and the device it stood
for), the net number, the prefix before and the one asked, what the read-back
found, and how it ended. The journal is $XDG_STATE_HOME/zenor9/journal.jsonl
(~/.local/state/zenor9/journal.jsonl), %LOCALAPPDATA%\zenor9\journal.jsonl on
Windows, or the file ZENOR9_JOURNAL names (journal.jsonl in it when it is a
folder). At 1 MiB it becomes journal.jsonl.1, which replaces the one before.
--changed-only lists the writes that changed a register, --label those of the
runs with that label. --json prints the records as they are kept: a JSON
array, a record a line. Damaged lines are said on stderr and skipped. write
--no-journal keeps a run out of the journal.)");
}

int JournalCommand(const Invocation& invocation) {
  const journal::Location location = journal::JournalLocation();
  if (location.file.empty()) {
    std::fprintf(stderr, "%s\n", Tr("no home folder to keep the journal in"));
    return kExitFailed;
  }
  const std::string name = Printable(files::PathText(location.file));
  const journal::Listing listing = journal::ReadJournal(location.file, invocation.journalFilter);
  if (invocation.json) {
    PrintJson(listing);
  } else {
    for (const journal::Entry& entry : listing.entries) {
      std::printf("%s\n", EntryLine(entry.record).c_str());
    }
  }
  // The listing before what is said of it, also on a shared pipe.
  const bool printed = std::fflush(stdout) == 0 && !std::ferror(stdout);
  SayDamagedLines(listing);
  if (!listing.unreadable.empty()) {
    std::fprintf(stderr, "%s\n",
                 Tr("the journal cannot be read: %s", Printable(listing.unreadable)).c_str());
    return kExitFailed;
  }
  if (listing.entries.empty() && !invocation.json) SayNothingListed(listing, name);
  return printed ? kExitOk : kExitFailed;
}

}  // namespace zenor9::cli
