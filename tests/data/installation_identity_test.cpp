#include "data/installation_identity.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "data/data_set.h"
#include "data/store.h"
#include "support/fake_platform.h"
#include "support/forked_processes.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

Guid G(const char* text) {
  return *Guid::Parse(text);
}

TEST(InstallationIdentityTest, AnEmptyTableGetsOneIdentityThatLaterRunsRead) {
  TempStore temp;
  FakePlatform first_run;
  const Guid fresh = G("{00112233-4455-6677-8899-AABBCCDDEEFF}");
  first_run.QueueGuid(fresh);
  EXPECT_EQ(LoadDatabaseId(temp.store(), first_run), fresh);

  DataSet scid(temp.store(), "UserData", "scid.db");
  scid.Open();
  ASSERT_EQ(scid.RecordCount(), 1);
  // The standard binary layout: the first three groups little-endian.
  EXPECT_EQ(scid.FieldByName("Data").AsBytes(),
            std::string("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16));

  FakePlatform later_run;
  later_run.QueueGuid(G("{FFFFFFFF-0000-0000-0000-000000000000}"));
  EXPECT_EQ(LoadDatabaseId(temp.store(), later_run), fresh);
}

// Request processes started together on a fresh store: one identity row,
// and every process runs with it. Each process makes its GUID only once all
// of them have found the table empty.
TEST(InstallationIdentityTest, ProcessesStartingTogetherWriteOneIdentityAndAllReadIt) {
  constexpr int kProcesses = 8;
  class GuidAfterEveryoneLooked : public FakePlatform {
   public:
    explicit GuidAfterEveryoneLooked(testing::StartingLine& all_looked) : all_looked_(all_looked) {}
    std::optional<Guid> NewGuid() override {
      all_looked_.Wait();
      return FakePlatform::NewGuid();
    }

   private:
    testing::StartingLine& all_looked_;
  };
  TempStore temp;
  testing::StartingLine all_looked(kProcesses);
  std::vector<int> failed = testing::RunInForkedProcesses(kProcesses, [&](int p) {
    Store store(temp.paths());  // a connection of this process's own
    GuidAfterEveryoneLooked platform(all_looked);
    char text[64];
    std::snprintf(text, sizeof text, "{%08X-0000-0000-0000-000000000000}", p + 1);
    platform.QueueGuid(G(text));
    std::ofstream(temp.folder() / ("identity-" + std::to_string(p)))
        << LoadDatabaseId(store, platform).ToString();
    return true;
  });
  EXPECT_TRUE(failed.empty());

  DataSet scid(temp.store(), "UserData", "scid.db");
  scid.Open();
  ASSERT_EQ(scid.RecordCount(), 1);
  FakePlatform later_run;
  const std::string stored = LoadDatabaseId(temp.store(), later_run).ToString();
  for (int p = 0; p < kProcesses; ++p) {
    std::string read;
    std::ifstream(temp.folder() / ("identity-" + std::to_string(p))) >> read;
    EXPECT_EQ(read, stored) << "process " << p;
  }
}

TEST(InstallationIdentityTest, NullIdentityCases) {
  {
    TempStore temp;  // no scid table: nothing is created
    temp.store().Execute("UserData", "DROP TABLE scid");
    FakePlatform platform;
    EXPECT_TRUE(LoadDatabaseId(temp.store(), platform).IsNull());
    EXPECT_FALSE(temp.store().TableExists("UserData", "scid"));
  }
  {
    TempStore temp;  // GUID creation fails: nothing is written
    FakePlatform platform;
    platform.QueueGuid(std::nullopt);
    EXPECT_TRUE(LoadDatabaseId(temp.store(), platform).IsNull());
    DataSet scid(temp.store(), "UserData", "scid");
    scid.Open();
    EXPECT_TRUE(scid.IsEmpty());
  }
  {
    TempStore temp;  // a row whose Data is null
    temp.store().Execute("UserData", "INSERT INTO scid (Data) VALUES (NULL)");
    FakePlatform platform;
    EXPECT_TRUE(LoadDatabaseId(temp.store(), platform).IsNull());
  }
}

TEST(InstallationIdentityTest, ComparisonsAreByAllSixteenBytes) {
  const Guid echeck = G("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
  const Guid reduced = G("{6F9619FF-8B86-D011-B42D-00C04FC964FE}");
  InstallationIdentity identity(echeck);
  EXPECT_TRUE(identity.SameDatabaseId(echeck));
  EXPECT_FALSE(identity.SameDatabaseId(reduced));
  std::vector<Guid> payment_url = {reduced, echeck};
  EXPECT_TRUE(identity.IsOneOfDatabaseIds(payment_url));
  EXPECT_FALSE(identity.IsOneOfDatabaseIds(std::vector<Guid>{reduced}));
  EXPECT_FALSE(InstallationIdentity().SameDatabaseId(echeck));
}

}  // namespace
}  // namespace portavel
