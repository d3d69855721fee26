#include "support/temp_store.h"

#include <stdlib.h>

#include <stdexcept>

namespace portavel::testing {

TempStore::TempStore() {
  std::string pattern = (std::filesystem::temp_directory_path() / "portavel-store-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  paths_.userdata = (folder_ / "UserData.sqlite").string();
  paths_.localdata = (folder_ / "LocalData.sqlite").string();
  store_ = std::make_unique<Store>(paths_, /*create_missing_files=*/true);
  store_->CreateAllTables();
}

TempStore::~TempStore() {
  store_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TempStore::Insert(const std::string& table,
                       std::initializer_list<std::pair<const char*, Value>> fields,
                       const std::string& alias) {
  DataSet data(*store_, alias, table);
  data.Open();
  data.Append();
  for (const auto& [name, value] : fields) data.FieldByName(name).Set(value);
  data.Post();
}

}  // namespace portavel::testing
