// The identity of the dealer's database: a GUID kept in the one-row scid
// table, read once at process start. Installation-specific features are
// switched on by comparing it with configured identities.
#pragma once

#include <span>

#include "platform/guid.h"

namespace portavel {

class Platform;
class Store;

// Reads the identity, writing a new random one when the table exists but
// is empty. Processes starting together on an empty table write it once
// and all read the same GUID; where several rows exist, the first counts.
// No scid table, a null or short Data value, or a failed GUID creation
// give the null GUID. Store failures propagate.
Guid LoadDatabaseId(Store& store, Platform& platform);

class InstallationIdentity {
 public:
  InstallationIdentity() = default;
  explicit InstallationIdentity(Guid database_id) : database_id_(database_id) {}

  const Guid& DatabaseId() const { return database_id_; }
  bool SameDatabaseId(const Guid& other) const { return database_id_ == other; }
  bool IsOneOfDatabaseIds(std::span<const Guid> ids) const;

 private:
  Guid database_id_;
};

}  // namespace portavel
