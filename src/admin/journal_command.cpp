#include "admin/journal_command.h"

#include <vector>

#include "admin/admin_error.h"
#include "config/config.h"
#include "data/store.h"
#include "payments/approval_journal.h"

namespace portavel {

void RunJournalCommand(const std::string& action, const Config& config, std::ostream& out,
                       std::ostream& err) {
  const std::string& path = config.payments.journal;
  std::vector<JournalDamage> damaged;
  const std::vector<JournalEntry> entries = ReadJournal(path, &damaged);
  for (const JournalDamage& damage : damaged) {
    err << path << ", line " << damage.line << ": " << damage.reason << "\n";
  }
  if (entries.empty() && damaged.empty()) {
    out << "no approvals in the journal " << path << ": nothing to replay\n";
    return;
  }
  Store store(config.database);
  int pending = 0;
  for (const JournalEntry& entry : entries) {
    if (action == "replay") {
      const ReplayOutcome outcome = ReplayJournalEntry(store, entry);
      out << (outcome == ReplayOutcome::kRecorded ? "recorded: " : "already recorded: ")
          << DescribeJournalEntry(entry) << "\n";
    } else {
      const bool recorded = IsJournalEntryRecorded(store, entry);
      if (!recorded) ++pending;
      out << (recorded ? "recorded: " : "NOT recorded: ") << DescribeJournalEntry(entry) << "\n";
    }
  }
  out << entries.size() << (entries.size() == 1 ? " entry" : " entries");
  if (action == "list") out << ", " << pending << " not yet recorded";
  out << "\n";
  if (!damaged.empty()) {
    throw DataError(std::to_string(damaged.size()) + " damaged line(s) in the journal " + path);
  }
}

}  // namespace portavel
