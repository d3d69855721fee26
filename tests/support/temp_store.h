// A fresh store with every table, in a temporary folder removed at the end.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "data/data_set.h"
#include "data/store.h"

namespace portavel::testing {

class TempStore {
 public:
  TempStore();
  ~TempStore();
  TempStore(const TempStore&) = delete;
  TempStore& operator=(const TempStore&) = delete;

  Store& store() { return *store_; }
  const StorePaths& paths() const { return paths_; }
  const std::filesystem::path& folder() const { return folder_; }

  // Appends one row; fields not named stay null.
  void Insert(const std::string& table, std::initializer_list<std::pair<const char*, Value>> fields,
              const std::string& alias = "UserData");

 private:
  std::filesystem::path folder_;
  StorePaths paths_;
  std::unique_ptr<Store> store_;
};

}  // namespace portavel::testing
