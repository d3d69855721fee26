#include "pricing/prebuy_contracts.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "data/query.h"
#include "posting/posting_tables.h"
#include "pricing/excess_gallons.h"
#include "pricing/line_codes.h"
#include "pricing/prebuy_balances.h"
#include "pricing/prebuy_deposit.h"
#include "pricing/pricing_context.h"

namespace portavel {
namespace {

constexpr int64_t kDeliveryBatchType = 4;
constexpr int64_t kDepositedLineMark = -9999;

struct ContractTerms {
  int32_t key = 0;  // Prebuykey
  Money price;
  DateTime start;
  DateTime end;
  Money gallons;
  Money deposit;

  bool Covers(DateTime date) const {
    return !(date.DateOnly() < start.DateOnly() || date.DateOnly() > end.DateOnly());
  }
};

// One of the tank's contract rows (PBTankLkUp), with the contract it
// names when that exists.
struct TankContract {
  int32_t contract_key = 0;  // PBTankContractKey
  std::optional<ContractTerms> terms;
};

std::optional<ContractTerms> LoadTerms(Store& store, const Value& contract_key) {
  Query query(store, "UserData",
              R"(select "Prebuykey", "Pbprice", "Pbstart", "Pbend", "Pbgallons", "Pbdeposit" )"
              R"(from "PBcontracts" where "Prebuykey" = :ContractKey )"
              R"(order by "Prebuykey", rowid limit 1)");
  query.SetParam("ContractKey", contract_key);
  query.Open();
  if (query.Eof()) return std::nullopt;
  return ContractTerms{static_cast<int32_t>(query.FieldByName("Prebuykey").AsInteger()),
                       query.FieldByName("Pbprice").AsMoney(),
                       query.FieldByName("Pbstart").AsDateTime(),
                       query.FieldByName("Pbend").AsDateTime(),
                       query.FieldByName("Pbgallons").AsMoney(),
                       query.FieldByName("Pbdeposit").AsMoney()};
}

std::vector<TankContract> LoadTankContracts(Store& store, const Value& tank_key) {
  std::vector<Value> keys;
  {
    Query query(store, "UserData",
                R"(select "PBTankContractKey" from "PBTankLkUp" where "PBTankTankKey" = :TankKey )"
                R"(order by "PBTankTankKey", rowid)");
    query.SetParam("TankKey", tank_key);
    query.Open();
    for (; !query.Eof(); query.Next()) keys.push_back(query.Column(0).value());
  }
  std::vector<TankContract> contracts;
  for (const Value& key : keys) {
    contracts.push_back({static_cast<int32_t>(key.AsInteger()), LoadTerms(store, key)});
  }
  return contracts;
}

class PrebuyApplication {
 public:
  PrebuyApplication(PricingContext& context, std::vector<TankContract> contracts)
      : context_(context),
        lines_(context.tables.tblTransactions),
        contracts_(std::move(contracts)) {}

  void Run() {
    // Lines added on the way (deposit and excess lines) join the end of
    // the walk: the list is read again after each line.
    for (lines_.First(); !lines_.Eof(); lines_.Next()) {
      ChargeLine();
      lines_.Refresh();
    }
    lines_.Refresh();
    lines_.First();
  }

 private:
  Field& Line(const char* name) { return lines_.FieldByName(name); }

  bool IsUnchargedFuelLine() {
    return Line("ProductID").AsString() != kDepositProductId &&
           Line("ProductGroupID").AsInteger() == kFuelProductGroup &&
           !DepositAlreadyApplied(context_.store,
                                  static_cast<int32_t>(Line("TransKey").AsInteger()));
  }

  Money GallonsLeftOf(const ContractTerms& terms) {
    return GallonsLeft(context_.store, terms.key, DateTime::Max(), terms.gallons);
  }

  void ChargeLine() {
    if (!IsUnchargedFuelLine()) return;
    const int32_t held_to = static_cast<int32_t>(Line("TransactionKey").AsInteger());
    const DateTime line_date = Line("InvDate").AsDateTime();

    // The first contract of the tank that takes the line.
    Money left;
    Money deposit;
    const ContractTerms* charged = nullptr;
    for (const TankContract& contract : contracts_) {
      if (held_to != 0 && held_to != contract.contract_key) continue;
      if (!contract.terms || !contract.terms->Covers(line_date)) continue;
      left = GallonsLeftOf(*contract.terms);
      if (left > Money()) {
        charged = &*contract.terms;
        deposit = DepositLeft(context_.store, charged->key, DateTime::Max(), charged->deposit);
        lines_.Edit();
        Line("TransactionKey").SetInteger(charged->key);
        lines_.Post();
        break;
      }
    }
    // A line no contract took has no share of a deposit either, even when
    // the last contract looked at is overdrawn.
    if (!charged) return;

    const Money amount = ApplyPrebuyDeposit(
        context_, {.fuel_trans_key = static_cast<int32_t>(Line("TransKey").AsInteger()),
                   .contract_key = charged->key,
                   .gallons_left = left,
                   .deposit_left = deposit,
                   .contract_gallons = charged->gallons,
                   .contract_deposit = charged->deposit,
                   .delivered = Line("Quantity").AsMoney()});
    if (!amount.IsZero()) {
      lines_.Edit();
      Line("ParentChild").SetInteger(kDepositedLineMark);
      lines_.Post();
    }

    const Money after = GallonsLeftOf(*charged);  // the line now counts
    if (after >= Money()) return;
    lines_.Edit();
    Line("Pkgs").SetMoney(left);
    lines_.Post();
    const ContractTerms* next = NextContractWithGallons(line_date);
    AddExcessGallonsLine(context_, next ? next->price : Money(), -after);
  }

  const ContractTerms* NextContractWithGallons(DateTime line_date) {
    for (const TankContract& contract : contracts_) {
      if (contract.terms && contract.terms->Covers(line_date) &&
          GallonsLeftOf(*contract.terms) > Money()) {
        return &*contract.terms;
      }
    }
    return nullptr;
  }

  PricingContext& context_;
  DataSet& lines_;
  const std::vector<TankContract> contracts_;
};

}  // namespace

void ApplyPrebuyContracts(PricingContext& context) {
  DataSet& batch = context.tables.tblBatch;
  DataSet& invoice = context.tables.tblInvoice;
  if (batch.FieldByName("Closed").AsInteger() != 0 || invoice.FieldByName("InvoiceNo").IsNull() ||
      batch.FieldByName("BatchType").AsInteger() != kDeliveryBatchType) {
    return;
  }
  std::vector<TankContract> contracts =
      LoadTankContracts(context.store, invoice.FieldByName("TankKey").value());
  if (contracts.empty()) return;
  OpenForScope open(context.tables.tblTransactions);
  PrebuyApplication(context, std::move(contracts)).Run();
}

}  // namespace portavel
