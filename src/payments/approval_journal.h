// The payments journal: approvals a gateway gave that the store would not
// take (locked past the wait, disk full, read-only), kept in an
// append-only file until `portavel-db journal replay` records them. One
// line an entry, so that a line cut short by a crash or a full disk spoils
// only itself.
#pragma once

#include <string>
#include <vector>

#include "dates/date_time.h"
#include "payments/card_transaction_log.h"

namespace portavel {

class Store;

struct JournalEntry {
  DateTime recorded_at;    // when the program wrote it
  std::string invoice_no;  // the number the gateway knows the charge by
  std::string reason;      // why the store was not written
  CardLogRow row;          // the approved row to be recorded
};

// Appends one entry (O_APPEND, one write, fsync). The card number is
// written masked whatever the caller passes. Throws std::runtime_error
// with the path and the reason on any failure.
void AppendJournalEntry(const std::string& path, const JournalEntry& entry);

struct JournalDamage {
  int line = 0;
  std::string reason;
};

// Every entry of the file, oldest first; none when there is no file. A
// line that is no complete entry is reported in `damaged` and skipped.
// Throws std::runtime_error when the file cannot be read.
std::vector<JournalEntry> ReadJournal(const std::string& path, std::vector<JournalDamage>* damaged);

// One line naming everything the office needs to find the charge.
std::string DescribeJournalEntry(const JournalEntry& entry);

// Whether the store already holds the entry's row as the entry has it.
bool IsJournalEntryRecorded(Store& store, const JournalEntry& entry);

enum class ReplayOutcome { kRecorded, kAlreadyRecorded };
// Writes the entry's row into its ccTransactions row (inserted when it is
// missing), unless it is already recorded. One store transaction.
ReplayOutcome ReplayJournalEntry(Store& store, const JournalEntry& entry);

}  // namespace portavel
