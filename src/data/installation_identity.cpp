#include "data/installation_identity.h"

#include <algorithm>
#include <optional>
#include <string>

#include "data/data_set.h"
#include "data/store.h"
#include "data/store_transaction.h"
#include "platform/platform.h"

namespace portavel {

namespace {

// Writes `fresh` unless another process wrote an identity first. The check
// and the insert share one write transaction, so of processes starting
// together on a fresh store exactly one inserts the row.
void CreateIdentityOnce(Store& store, DataSet& scid, const Guid& fresh) {
  StoreTransaction transaction(store, "UserData");
  scid.Refresh();
  if (!scid.IsEmpty()) return;
  const Guid::Bytes& bytes = fresh.bytes();
  scid.Append();
  scid.FieldByName("Data").SetBytes(std::string(bytes.begin(), bytes.end()));
  scid.Post();
  transaction.Commit();
}

}  // namespace

Guid LoadDatabaseId(Store& store, Platform& platform) {
  if (!store.TableExists("UserData", "scid.db")) return Guid();
  DataSet scid(store, "UserData", "scid.db");
  scid.Open();
  if (scid.IsEmpty()) {
    // Made before the write lock is taken, so no process holds it longer than the insert.
    std::optional<Guid> fresh = platform.NewGuid();
    if (!fresh) return Guid();
    CreateIdentityOnce(store, scid, *fresh);
  }
  // The first row: every process reads the same one.
  scid.First();
  Field& data = scid.FieldByName("Data");
  if (data.IsNull() || data.AsBytes().size() != 16) return Guid();
  Guid::Bytes bytes;
  std::copy_n(data.AsBytes().begin(), 16, bytes.begin());
  return Guid::FromBytes(bytes);
}

bool InstallationIdentity::IsOneOfDatabaseIds(std::span<const Guid> ids) const {
  return std::find(ids.begin(), ids.end(), database_id_) != ids.end();
}

}  // namespace portavel
