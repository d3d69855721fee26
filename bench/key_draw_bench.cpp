// How fast new keys come out of the shared key table, and what the
// open-and-locate step each draw starts with costs on its own. Each
// benchmark works on a fresh store in a temporary folder, with the same
// WAL journal and busy timeout as the programs use. Rates are taken over
// wall-clock time, since a draw spends part of it waiting on the file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "data/data_set.h"
#include "data/key_broker.h"
#include "data/store.h"
#include "platform/platform.h"

namespace portavel {
namespace {

// A store with every table and one Keys row for the Invoices sequence.
class ScratchStore {
 public:
  ScratchStore() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "portavel-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    store_ = std::make_unique<Store>(SqliteStorePaths((folder_ / "UserData.sqlite").string(),
                                                      (folder_ / "LocalData.sqlite").string()),
                                     /*create_missing_files=*/true);
    store_->CreateAllTables();
    DataSet keys(*store_, "UserData", "Keys");
    keys.Open();
    keys.Append();
    keys.FieldByName("TableName").SetString("Invoices");
    keys.FieldByName("FieldName").SetString("InvoiceKey");
    keys.FieldByName("NextNumber").SetInteger(1);
    keys.Post();
  }
  ~ScratchStore() {
    store_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ScratchStore(const ScratchStore&) = delete;
  ScratchStore& operator=(const ScratchStore&) = delete;

  Store& store() { return *store_; }

 private:
  std::filesystem::path folder_;
  std::unique_ptr<Store> store_;
};

void BM_GetNextKey(benchmark::State& state) {
  ScratchStore scratch;
  Platform& platform = SystemPlatform();
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetNextKey(scratch.store(), platform, "Invoices", "InvoiceKey"));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetNextKey)->UseRealTime();

void BM_KeysOpenAndLocate(benchmark::State& state) {
  ScratchStore scratch;
  for (auto _ : state) {
    DataSet keys(scratch.store(), "UserData", "Keys");
    keys.Open();
    bool found = keys.Locate(
        {{"TableName", Value::Text("invoices")}, {"FieldName", Value::Text("invoicekey")}},
        /*case_insensitive=*/true);
    if (!found) state.SkipWithError("Keys row not found");
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeysOpenAndLocate)->UseRealTime();

}  // namespace
}  // namespace portavel

BENCHMARK_MAIN();
