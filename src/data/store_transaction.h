// One write transaction on an alias. Everything the store does on that
// alias meanwhile (key draws, DataSet posts, queries) goes through the
// same connection and so belongs to it: it is committed together or not
// at all, and no other process writes the file in between.
#pragma once

#include <string>
#include <string_view>

namespace portavel {

class Store;

class StoreTransaction {
 public:
  // Takes the alias's write lock at once (BEGIN IMMEDIATE), waiting for
  // another writer as long as the store's busy timeout allows, so that a
  // read in the transaction never turns stale before its write. Inside a
  // transaction already open on the connection it becomes a savepoint of
  // that transaction. Throws StoreError when the lock is not obtained.
  StoreTransaction(Store& store, std::string_view alias);
  // Rolls back unless committed; never throws.
  ~StoreTransaction();
  StoreTransaction(const StoreTransaction&) = delete;
  StoreTransaction& operator=(const StoreTransaction&) = delete;

  // Makes the writes lasting (or, for a savepoint, part of the enclosing
  // transaction). Throws StoreError when that fails; the destructor then
  // rolls back.
  void Commit();
  bool committed() const { return committed_; }

 private:
  Store& store_;
  std::string alias_;
  bool savepoint_ = false;
  bool committed_ = false;
};

}  // namespace portavel
