#include "data/installation_identity.h"

#include <algorithm>
#include <string>

#include "data/data_set.h"
#include "data/store.h"
#include "platform/platform.h"

namespace portavel {

Guid LoadDatabaseId(Store& store, Platform& platform) {
  if (!store.TableExists("UserData", "scid.db")) return Guid();
  DataSet scid(store, "UserData", "scid.db");
  scid.Open();
  if (scid.IsEmpty()) {
    std::optional<Guid> fresh = platform.NewGuid();
    if (!fresh) return Guid();
    const Guid::Bytes& bytes = fresh->bytes();
    scid.Append();
    scid.FieldByName("Data").SetBytes(std::string(bytes.begin(), bytes.end()));
    scid.Post();
    return *fresh;
  }
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
