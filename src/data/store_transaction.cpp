#include "data/store_transaction.h"

#include "data/store.h"
#include "data/value.h"

namespace portavel {
namespace {

constexpr const char* kSavepoint = "store_transaction";

}  // namespace

StoreTransaction::StoreTransaction(Store& store, std::string_view alias)
    : store_(store), alias_(Store::CanonicalAlias(alias)) {
  EngineConnection& connection = store_.Connection(alias_);
  savepoint_ = connection.InTransaction();
  if (savepoint_) {
    connection.Execute(std::string("SAVEPOINT ") + kSavepoint);
  } else {
    connection.BeginWriteTransaction();
  }
}

StoreTransaction::~StoreTransaction() {
  if (committed_) return;
  try {
    EngineConnection& connection = store_.Connection(alias_);
    if (savepoint_) {
      connection.Execute(std::string("ROLLBACK TO ") + kSavepoint);
      connection.Execute(std::string("RELEASE ") + kSavepoint);
    } else if (connection.InTransaction()) {
      // An engine may already have rolled back on its own after some errors.
      connection.Execute("ROLLBACK");
    }
  } catch (const StoreError&) {
    // A destructor must not throw; a connection that cannot even roll back
    // is gone, and its transaction with it.
  }
}

void StoreTransaction::Commit() {
  if (committed_) throw StoreError("The transaction is already committed");
  store_.Execute(alias_, savepoint_ ? std::string("RELEASE ") + kSavepoint : "COMMIT");
  committed_ = true;
}

}  // namespace portavel
