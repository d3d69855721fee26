// Backing up the store while the portal writes to it, the way the operator
// is told to: the sqlite3 shell's ".backup" of UserData, again and again,
// while customers' card payments run through the built program. Every copy
// must be whole and show a state the store really passed through: a copy
// pieced together from before and after a payment would show an invoice
// without its line, or a counter that disagrees with the invoices.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data/query.h"
#include "support/fake_gateway.h"
#include "support/file_bytes.h"
#include "support/payment_fixture.h"
#include "support/portal_fixture.h"

extern char** environ;

namespace portavel::testing {
namespace {

constexpr int kFirstCardNumber = 1042;  // NextCCNo of SetUpPaymentStore
constexpr int kPayers = 4;
constexpr int kPaymentsEach = 6;
// The payers go on until this many copies were made while they ran.
constexpr int kBackupsDuringLoad = 10;

struct ShellRun {
  int exit_code = -1;
  std::string errors;
};

// The sqlite3 shell on `database` with one dot-command, as the operations
// guide runs it: waiting up to 30 s for a busy file.
ShellRun RunShell(const std::filesystem::path& database, const std::string& command,
                  const std::filesystem::path& error_file) {
  std::vector<std::string> args = {"sqlite3", database.string(), ".timeout 30000", command};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = 0;
  ShellRun run;
  if (posix_spawnp(&pid, "sqlite3", &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  run.errors = ReadFileBytes(error_file);
  return run;
}

class LiveBackupE2eTest : public ::testing::Test {
 protected:
  LiveBackupE2eTest() : gateway(FakeGateway::Options{FakeGateway::Mode::kDemo, false}) {}

  void SetUp() override {
    if (E2eStoreEngine() == StoreEngine::kPostgresql)
      GTEST_SKIP() << "the backup is the sqlite3 shell's copy of the SQLite file";
    ASSERT_TRUE(gateway.ready()) << gateway.error();
    SetUpPaymentStore(portal.temp());
    const std::string base = gateway.base_url();
    portal.AppendConfig("[gateways]\nform_post_urls = [\"" + base + "\", \"" + base + "\", \"" +
                        base + "\"]\nca_file = \"" + gateway.ca_file() +
                        "\"\n\n[payments]\n# The same customer pays the same amount again and "
                        "again on purpose.\nduplicate_window_seconds = 0\n");
    // Enough pages that one copy takes several steps of the shell's
    // backup, so that writes land between them.
    Store& store = portal.temp().store();
    store.Execute("UserData", "CREATE TABLE Ballast (Filler BLOB)");
    store.Execute("UserData",
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                  "INSERT INTO Ballast SELECT randomblob(1000) FROM n");
    cookies = portal.LoginCookies("SMITH01");
    std::filesystem::create_directory(BackupFolder());
  }

  std::filesystem::path BackupFolder() { return portal.temp().folder() / "backups"; }
  std::filesystem::path LiveUserData() { return portal.temp().paths().userdata; }

  bool PayTen() {
    const std::string body = kCompleteCardEntry + "&Payment=10.00";
    CgiResult result = portal.Send({{"REQUEST_METHOD", "POST"},
                                    {"PATH_INFO", "/ProcessNewCard"},
                                    {"CONTENT_LENGTH", std::to_string(body.size())},
                                    {"HTTP_COOKIE", cookies}},
                                   body);
    return result.output.rfind("Status: 200 OK\r\n", 0) == 0 &&
           result.output.find("Transaction Successful.") != std::string::npos;
  }

  // Makes copy number `n`; "" when the shell succeeded, else what it said.
  std::string BackUp(int n) {
    const std::filesystem::path copy =
        BackupFolder() / ("UserData-" + std::to_string(n) + ".sqlite");
    return Shell(".backup '" + copy.string() + "'", "copy " + std::to_string(n));
  }

  // "" when the shell succeeded on the live UserData, else what it said.
  std::string Shell(const std::string& command, const std::string& what) {
    ShellRun run = RunShell(LiveUserData(), command, BackupFolder() / "errors.txt");
    if (run.exit_code == 0 && run.errors.empty()) return "";
    return what + ": exit " + std::to_string(run.exit_code) + ": " + run.errors;
  }

  FakeGateway gateway;
  PortalFixture portal;
  std::string cookies;
};

std::string One(Store& store, const std::string& sql) {
  Query query(store, "UserData", sql);
  query.Open();
  return query.Eof() ? "<none>" : query.Column(0).AsString();
}

// The payments a copy holds, after checking that the copy is whole and
// that its tables agree with each other.
int CheckCopy(const std::filesystem::path& copy) {
  SCOPED_TRACE(copy.filename().string());
  // Through the program's own store: the integrity check compares index
  // entries, and some indexes use the program's collation.
  Store store(SqliteStorePaths(copy.string(), ""));
  EXPECT_EQ(One(store, "PRAGMA integrity_check"), "ok");

  const int payments =
      std::stoi(One(store, "SELECT \"NextCCNo\" FROM \"RemotePrefs\"")) - kFirstCardNumber;
  const std::string count = std::to_string(payments);
  EXPECT_EQ(One(store, "SELECT COUNT(*) FROM \"Invoices\""), count);
  EXPECT_EQ(
      One(store,
          "SELECT COUNT(DISTINCT \"InvoiceNo\") FROM \"Invoices\" WHERE \"InvoiceNo\" >= 'CC " +
              std::to_string(kFirstCardNumber) + "' AND InvoiceNo < 'CC " +
              std::to_string(kFirstCardNumber + payments) + "'"),
      count);
  EXPECT_EQ(One(store,
                "SELECT COUNT(*) FROM \"Transactions\" t JOIN \"Invoices\" i "
                "ON t.Invoicekey = i.InvoiceKey AND t.\"InvoiceNo\" = i.\"InvoiceNo\""),
            count);
  EXPECT_EQ(One(store, "SELECT COALESCE(SUM(\"PaymentTotal\"), 0) FROM \"Invoices\""),
            std::to_string(payments * 100000));
  // The gateway's answer is logged after the payment was posted, never
  // before; a charge in flight when the copy was made shows only its
  // reserved row.
  EXPECT_EQ(One(store,
                "SELECT COUNT(*) FROM \"ccTransactions\" WHERE \"Response\" <> 'NO ANSWER' "
                "AND \"PayTransKey\" NOT IN (SELECT \"TransKey\" FROM \"Transactions\")"),
            "0");
  // Keys drawn before the rows that use them.
  EXPECT_EQ(One(store,
                "SELECT COUNT(*) FROM \"Keys\" k WHERE k.\"TableName\" = 'Invoices' AND "
                "k.\"NextNumber\" <= (SELECT COALESCE(MAX(\"InvoiceKey\"), 0) FROM \"Invoices\")"),
            "0");
  EXPECT_EQ(One(store, "SELECT COUNT(*) FROM Ballast"), "3000");
  return payments;
}

TEST_F(LiveBackupE2eTest, CopiesMadeDuringPaymentsAreWholeAndShowAStateThatExisted) {
  std::atomic<int> backups_made{0};
  std::atomic<int> payers_running{kPayers};
  std::vector<std::string> backup_failures;
  std::thread backups([&] {
    // Copies until the last payer is done, so all of them overlap the load.
    while (payers_running.load() > 0) {
      std::string failure = BackUp(backups_made.load());
      if (!failure.empty()) backup_failures.push_back(failure);
      ++backups_made;
    }
  });

  std::atomic<int> payments_made{0};
  std::vector<int> failed_payments(kPayers, 0);
  std::vector<std::thread> payers;
  for (int p = 0; p < kPayers; ++p) {
    payers.emplace_back([&, p] {
      for (int i = 0; i < kPaymentsEach || backups_made.load() < kBackupsDuringLoad; ++i) {
        if (PayTen()) {
          ++payments_made;
        } else {
          ++failed_payments[p];
        }
      }
      --payers_running;
    });
  }
  for (std::thread& payer : payers) payer.join();
  backups.join();

  EXPECT_EQ(failed_payments, std::vector<int>(kPayers, 0));
  EXPECT_TRUE(backup_failures.empty()) << backup_failures.front();
  ASSERT_GE(backups_made.load(), kBackupsDuringLoad);

  std::vector<int> held;
  for (int n = 0; n < backups_made.load(); ++n) {
    held.push_back(CheckCopy(BackupFolder() / ("UserData-" + std::to_string(n) + ".sqlite")));
  }
  // Made one after another, so each holds at least what the one before did.
  for (size_t n = 1; n < held.size(); ++n) EXPECT_LE(held[n - 1], held[n]) << "copy " << n;

  // A copy made once the writes are over holds every one of them.
  ASSERT_EQ(BackUp(backups_made.load()), "");
  EXPECT_EQ(
      CheckCopy(BackupFolder() / ("UserData-" + std::to_string(backups_made.load()) + ".sqlite")),
      payments_made.load());
  EXPECT_EQ(NextCardNumber(portal.temp()), kFirstCardNumber + payments_made.load());
}

// The restore of the guide: the copy is written back into the live file,
// and the portal goes on from the copy's state.
TEST_F(LiveBackupE2eTest, ARestoredCopyTakesTheStoreBackAndThePortalWritesOnFromIt) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(PayTen());
  ASSERT_EQ(BackUp(0), "");
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(PayTen());
  ASSERT_EQ(NextCardNumber(portal.temp()), kFirstCardNumber + 5);

  const std::filesystem::path copy = BackupFolder() / "UserData-0.sqlite";
  ASSERT_EQ(Shell(".restore '" + copy.string() + "'", "restore"), "");
  EXPECT_EQ(portal.Get("/Online").output, ExpectedResponse("1"));
  EXPECT_EQ(NextCardNumber(portal.temp()), kFirstCardNumber + 3);
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 3);

  ASSERT_TRUE(PayTen());
  EXPECT_EQ(One(portal.temp().store(), "SELECT MAX(\"InvoiceNo\") FROM \"Invoices\""),
            "CC " + std::to_string(kFirstCardNumber + 3));
  EXPECT_EQ(CheckCopy(LiveUserData()), 4);
}

}  // namespace
}  // namespace portavel::testing
