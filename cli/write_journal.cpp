#include "cli/write_journal.h"

#include "cli/outcome.h"
#include "journal/journal.h"

namespace zenor9::cli {

namespace {

std::optional<std::string> TextOf(const std::optional<nlohmann::ordered_json>& value) {
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

}  // namespace

JournalFacts FactsOfWrite(const Outcome& write, bool stopped) {
  JournalFacts facts;
  facts.net = write.net;
  facts.before = TextOf(write.before);
  facts.readBack = write.readBack;
  facts.holds = TextOf(write.holds);
  facts.ok = write.Ok();
  facts.error = write.error;
  facts.stopped = stopped || write.interrupted;
  facts.written = write.written.value_or(false);
  facts.changed = write.changed.value_or(false);
  return facts;
}

std::optional<std::string> RecordWriteInJournal(const Invocation& invocation,
                                                const JournalFacts& facts,
                                                const journal::TimeSource& now) {
  if (invocation.noJournal) return std::nullopt;
  journal::WriteRecord record;
  record.port = invocation.port.name;
  if (!invocation.port.Device().empty()) record.device = invocation.port.Device();
  record.net = facts.net;
  record.before = facts.before;
  record.asked = invocation.write.value;
  record.readBack = facts.readBack;
  record.holds = facts.holds;
  record.ok = facts.ok;
  record.error = facts.error;
  record.stopped = facts.stopped;
  record.written = facts.written;
  record.changed = facts.changed;
  if (!invocation.label.empty()) record.label = invocation.label;
  if (!invocation.note.empty()) record.note = invocation.note;
  record.program = journal::kCommandLine;
  std::string error;
  if (journal::RecordWrite(std::move(record), error, now)) return std::nullopt;
  return Tr("the write was not recorded in the journal: %s", error);
}

}  // namespace zenor9::cli
