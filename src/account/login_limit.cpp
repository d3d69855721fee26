#include "account/login_limit.h"

#include <algorithm>
#include <optional>

#include "data/query.h"
#include "data/store.h"
#include "data/store_transaction.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr const char* kAlias = "LocalData";
constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60 * kMsPerSecond;

int64_t MillisecondsOf(DateTime moment) {
  return static_cast<int64_t>(moment.day()) * DateTime::kMsPerDay + moment.ms_of_day();
}

// A window ends on a whole second, so the time the operator is told is
// the moment the lock ends.
DateTime WindowEndFrom(DateTime now, int window_minutes) {
  const int64_t end = MillisecondsOf(now) / kMsPerSecond * kMsPerSecond +
                      static_cast<int64_t>(window_minutes) * kMsPerMinute;
  return DateTime(static_cast<int32_t>(end / DateTime::kMsPerDay),
                  static_cast<int32_t>(end % DateTime::kMsPerDay));
}

// The subjects an attempt is counted against: those with a limit set.
std::vector<CountedLoginSubject> SubjectsOf(const LoginConfig& config,
                                            const std::string& account_id,
                                            const std::string& address) {
  std::vector<CountedLoginSubject> subjects;
  if (config.max_failures > 0 && !account_id.empty()) {
    subjects.push_back({kAccountSubject, ToUpper1252(account_id), 0, config.max_failures, {}});
  }
  if (config.max_failures_per_address > 0 && !address.empty()) {
    subjects.push_back({kAddressSubject, address, 0, config.max_failures_per_address, {}});
  }
  return subjects;
}

// Account IDs are kept upper-cased, so that an ID typed in any case is the
// same subject and the table compares plainly: the sqlite3 shell can then
// lift a lockout without the program's collation.
std::string SubjectCondition() {
  return R"("Kind" = :kind AND "Subject" = :subject)";
}

// The table's name as the catalog spells it, quoted: PostgreSQL matches a
// quoted name exactly, SQLite in any case.
std::string Table() {
  return QuoteIdentifier(kLoginFailuresTable);
}

void BindSubject(Query& query, const CountedLoginSubject& subject) {
  query.SetParam("kind", Value::Text(subject.kind));
  query.SetParam("subject", Value::Text(subject.subject));
}

struct StoredCount {
  int failures = 0;
  DateTime window_ends;
};

std::optional<StoredCount> ReadCount(Store& store, const CountedLoginSubject& subject) {
  Query query(store, kAlias,
              R"(SELECT "Failures", "WindowEnds" FROM )" + Table() + " WHERE " +
                  SubjectCondition() + " ORDER BY rowid LIMIT 1");
  BindSubject(query, subject);
  query.Open();
  if (query.Eof()) return std::nullopt;
  return StoredCount{static_cast<int>(query.Column(0).AsInteger()), query.Column(1).AsDateTime()};
}

int SecondsUntil(DateTime now, DateTime moment) {
  const int64_t ms = MillisecondsOf(moment) - MillisecondsOf(now);
  return static_cast<int>(std::max<int64_t>(1, (ms + kMsPerSecond - 1) / kMsPerSecond));
}

std::string LockoutLine(const CountedLoginSubject& subject, int window_minutes) {
  const std::string who = subject.kind == kAccountSubject ? "account ID \"" + subject.subject + "\""
                                                          : "client address " + subject.subject;
  return "Login locked for " + who + " until " + subject.window_ends.ToIsoDateTime() + ": " +
         std::to_string(subject.failures) + " failed logins within " +
         std::to_string(window_minutes) + " minutes";
}

}  // namespace

LoginLimit::LoginLimit(Store& store, Platform& platform, const LoginConfig& config)
    : store_(store), platform_(platform), config_(config) {}

LoginAdmission LoginLimit::Admit(const std::string& account_id, const std::string& address) {
  LoginAdmission admission;
  std::vector<CountedLoginSubject> subjects = SubjectsOf(config_, account_id, address);
  if (subjects.empty()) return admission;

  StoreTransaction transaction(store_, kAlias);
  // Taken once the write lock is held, so that a wait for it does not make
  // the counts look older than they are.
  const DateTime now = platform_.Now();
  if (!store_.TableExists(kAlias, kLoginFailuresTable)) {
    store_.CreateTable(store_.Definition(kAlias, kLoginFailuresTable));
  }
  Query drop_expired(store_, kAlias, "DELETE FROM " + Table() + R"( WHERE "WindowEnds" <= :now)");
  drop_expired.SetParam("now", Value::DateTimeValue(now));
  drop_expired.ExecSql();

  std::vector<std::optional<StoredCount>> stored;
  for (const CountedLoginSubject& subject : subjects) {
    stored.push_back(ReadCount(store_, subject));
    if (stored.back() && stored.back()->failures >= subject.limit) {
      admission.refused = true;
      admission.retry_after_seconds =
          std::max(admission.retry_after_seconds, SecondsUntil(now, stored.back()->window_ends));
    }
  }
  if (!admission.refused) {
    for (size_t i = 0; i < subjects.size(); ++i) {
      CountedLoginSubject& subject = subjects[i];
      if (stored[i]) {
        subject.failures = stored[i]->failures + 1;
        subject.window_ends = stored[i]->window_ends;
        Query raise(store_, kAlias,
                    "UPDATE " + Table() + R"( SET "Failures" = "Failures" + 1 WHERE )" +
                        SubjectCondition());
        BindSubject(raise, subject);
        raise.ExecSql();
      } else {
        subject.failures = 1;
        subject.window_ends = WindowEndFrom(now, config_.window_minutes);
        Query start(store_, kAlias,
                    "INSERT INTO " + Table() +
                        R"( ("Kind", "Subject", "Failures", "WindowEnds") )"
                        "VALUES (:kind, :subject, 1, :window_ends)");
        BindSubject(start, subject);
        start.SetParam("window_ends", Value::DateTimeValue(subject.window_ends));
        start.ExecSql();
      }
    }
    admission.counted = std::move(subjects);
  }
  transaction.Commit();
  return admission;
}

void LoginLimit::Succeeded(const LoginAdmission& admission) {
  if (admission.counted.empty()) return;
  StoreTransaction transaction(store_, kAlias);
  for (const CountedLoginSubject& subject : admission.counted) {
    if (subject.kind == kAccountSubject) {
      Query clear(store_, kAlias, "DELETE FROM " + Table() + " WHERE " + SubjectCondition());
      BindSubject(clear, subject);
      clear.ExecSql();
    } else {
      // Only from the window the attempt was counted in: a window that has
      // ended since holds none of it.
      Query take_back(store_, kAlias,
                      "UPDATE " + Table() + R"( SET "Failures" = "Failures" - 1 WHERE )" +
                          SubjectCondition() +
                          R"( AND "WindowEnds" = :window_ends AND "Failures" > 0)");
      BindSubject(take_back, subject);
      take_back.SetParam("window_ends", Value::DateTimeValue(subject.window_ends));
      take_back.ExecSql();
    }
  }
  transaction.Commit();
}

void LoginLimit::Failed(const LoginAdmission& admission) {
  for (const CountedLoginSubject& subject : admission.counted) {
    if (subject.failures == subject.limit) {
      platform_.OperatorMessage(LockoutLine(subject, config_.window_minutes));
    }
  }
}

}  // namespace portavel
