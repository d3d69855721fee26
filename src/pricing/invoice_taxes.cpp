#include "pricing/invoice_taxes.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "data/query.h"
#include "posting/posting_tables.h"
#include "pricing/line_codes.h"
#include "pricing/pricing_context.h"
#include "pricing/tax_bases.h"
#include "pricing/tax_line_amounts.h"
#include "pricing/tax_links.h"
#include "pricing/tax_table.h"

namespace portavel {
namespace {

// The taxes a line's links charge it with, in link order.
std::vector<int32_t> ChargedTaxesOf(Store& store, const Value& trans_key) {
  Query query(store, "UserData",
              R"(select "TaxKey" from "TransTaxLkUp" where "TransKey" = :TransKey )"
              R"(and "ChargeTax" = 1 order by "TransKey", rowid)");
  query.SetParam("TransKey", trans_key);
  query.Open();
  std::vector<int32_t> taxes;
  for (; !query.Eof(); query.Next()) {
    taxes.push_back(static_cast<int32_t>(query.FieldByName("TaxKey").AsInteger()));
  }
  return taxes;
}

// GLType of a tax line by the type of its batch.
int64_t GlTypeOfBatchType(int64_t batch_type) {
  if (batch_type < 9) return 1;
  if (batch_type < 20) return 4;
  if (batch_type < 30) return 2;
  if (batch_type < 40) return 3;
  return 4;
}

bool IsFirstLevel(const TaxRow& tax) {
  return !tax.second_level;
}
bool IsSecondLevel(const TaxRow& tax) {
  return tax.second_level;
}
bool AnyTax(const TaxRow&) {
  return true;
}

bool IsLevelKind(TaxBase kind) {
  return kind != TaxBase::kTaxOnTax;
}
bool IsTaxOnTaxKind(TaxBase kind) {
  return kind == TaxBase::kTaxOnTax;
}

// How one creation pass writes its lines.
struct CreationPass {
  bool (*handles_tax)(const TaxRow&);
  bool (*handles_kind)(TaxBase);
  int64_t trans_pos;
  int64_t gl_type;
  bool links_taxes_on_tax;
};

class InvoiceTaxRecalculation {
 public:
  explicit InvoiceTaxRecalculation(PricingContext& context)
      : context_(context),
        lines_(context.tables.tblTransactions),
        taxes_(TaxTable::Load(context.store)),
        invoice_date_(context.tables.tblInvoice.FieldByName("InvDate").AsDateTime()),
        batch_gl_type_(
            GlTypeOfBatchType(context.tables.tblBatch.FieldByName("BatchType").AsInteger())) {}

  void Run() {
    DeleteDerivedLines();
    if (context_.remote_prefs.FieldByName("UseCATonT").AsBoolean()) {
      // Two levels: first-level taxes on the product lines, then
      // second-level taxes on those and on the first-level tax lines.
      AccumulateBases(IsFirstLevel, {kPaymentLineType, kTaxLineType, kDiscountLineType});
      CreateLines({.handles_tax = IsFirstLevel,
                   .handles_kind = IsLevelKind,
                   .trans_pos = 1,
                   .gl_type = 1,
                   .links_taxes_on_tax = true});
      bases_.ZeroAllButTaxOnTax();
      AccumulateBases(IsSecondLevel, {kPaymentLineType, kDiscountLineType});
      CreateLines({.handles_tax = IsSecondLevel,
                   .handles_kind = IsLevelKind,
                   .trans_pos = 0,
                   .gl_type = 1,
                   .links_taxes_on_tax = false});
    } else {
      // One level: the taxes on the product lines, then tax on tax on the
      // product lines and the tax lines.
      AccumulateBases(AnyTax, {kPaymentLineType, kTaxLineType, kDiscountLineType});
      CreateLines({.handles_tax = IsFirstLevel,
                   .handles_kind = IsLevelKind,
                   .trans_pos = 0,
                   .gl_type = batch_gl_type_,
                   .links_taxes_on_tax = true});
      AccumulateTaxOnTaxLines();
      CreateLines({.handles_tax = AnyTax,
                   .handles_kind = IsTaxOnTaxKind,
                   .trans_pos = 0,
                   .gl_type = batch_gl_type_,
                   .links_taxes_on_tax = false});
    }
  }

 private:
  // The derived lines go, but not their tax links: the deletion cascade is
  // off while they are deleted.
  void DeleteDerivedLines() {
    ScopedBeforeDeleteOff keep_links(context_.tables);
    lines_.First();
    while (!lines_.Eof()) {
      const int64_t type = lines_.FieldByName("TransType").AsInteger();
      if (lines_.FieldByName("ProductName").AsString().empty() || type == kTaxLineType ||
          type == kVoidLineType) {
        lines_.Delete();  // the next line becomes current
      } else {
        lines_.Next();
      }
    }
  }

  // What a line adds to the base of a tax of the given kind.
  Money Contribution(TaxBase kind) {
    switch (kind) {
      case TaxBase::kQuantity:
        return lines_.FieldByName("Quantity").AsMoney();
      case TaxBase::kCost:
        return MultiplyRoundedPair(lines_.FieldByName("ProductCost").AsMoney(),
                                   lines_.FieldByName("Quantity").AsMoney());
      case TaxBase::kCount:
        return Money::FromWhole(1);
      case TaxBase::kAmount:
      case TaxBase::kTaxOnTax:
        break;
    }
    return lines_.FieldByName("TransTotal").AsMoney();
  }

  // Adds every charged link of the invoice's lines, but those of the
  // excluded line types, to the bases of the taxes considered.
  void AccumulateBases(bool (*considered)(const TaxRow&),
                       std::initializer_list<int64_t> excluded_types) {
    for (lines_.First(); !lines_.Eof(); lines_.Next()) {
      const int64_t type = lines_.FieldByName("TransType").AsInteger();
      bool excluded = false;
      for (int64_t excluded_type : excluded_types) excluded = excluded || type == excluded_type;
      if (excluded) continue;
      for (int32_t tax_key :
           ChargedTaxesOf(context_.store, lines_.FieldByName("TransKey").value())) {
        const TaxRow* tax = taxes_.Find(tax_key);
        if (!tax || !considered(*tax) || !tax->base()) continue;
        bases_.Add(tax->key, *tax->base(), Contribution(*tax->base()));
      }
    }
    lines_.First();
  }

  // The tax lines written so far count towards the tax-on-tax bases of
  // the taxes they are linked to and charged with.
  void AccumulateTaxOnTaxLines() {
    for (lines_.First(); !lines_.Eof(); lines_.Next()) {
      if (lines_.FieldByName("TransType").AsInteger() != kTaxLineType) continue;
      for (int32_t tax_key :
           ChargedTaxesOf(context_.store, lines_.FieldByName("TransKey").value())) {
        if (const TaxRow* tax = taxes_.Find(tax_key)) {
          bases_.Add(tax->key, TaxBase::kTaxOnTax, lines_.FieldByName("TransTotal").AsMoney());
        }
      }
    }
  }

  // One line for each tax of the pass whose base is not zero, in key order.
  void CreateLines(const CreationPass& pass) {
    for (const TaxRow& tax : taxes_.rows()) {
      if (!pass.handles_tax(tax) || !tax.base() || !pass.handles_kind(*tax.base())) continue;
      const TaxBase kind = *tax.base();
      const Money base = bases_.Get(tax.key, kind);
      if (base.IsZero()) continue;
      PostTaxLine(tax, kind, base, pass);
      bases_.Consume(tax.key, kind);
      if (pass.links_taxes_on_tax) LinkLineToTaxesOnTax(pass);
    }
  }

  void PostTaxLine(const TaxRow& tax, TaxBase kind, Money base, const CreationPass& pass) {
    const TaxLineAmounts amounts = TaxLineAmountsFor(kind, base, tax.RateOn(invoice_date_));
    lines_.Insert();  // the defaults of a new line: key, invoice, batch
    auto field = [this](const char* name) -> Field& { return lines_.FieldByName(name); };
    field("Pkgs").SetMoney(Money::FromWhole(1));
    field("Quantity").SetMoney(Money::FromWhole(1));
    field("TransType").SetInteger(kTaxLineType);
    field("ProductGroupID").SetInteger(kTaxProductGroup);
    field("ProductID").SetString(kind == TaxBase::kCount ? "FEE" : "TAX");
    field("ProductName").SetString(tax.name);
    field("ProductKey").SetInteger(tax.product_key);
    field("TransTotal").SetMoney(amounts.trans_total);
    field("TranPrice").SetMoney(amounts.tran_price);
    field("ProductCost").SetMoney(Money());
    field("GLInventory").SetString("");
    field("GLExpense").SetString("");
    field("GLCOGS").SetString("");
    field("GLSales").SetString(tax.gl_liability);
    field("ProductTypeKey").SetInteger(0);
    field("TransPOS").SetInteger(pass.trans_pos);
    field("GLType").SetInteger(pass.gl_type);
    if (kind == TaxBase::kAmount || kind == TaxBase::kTaxOnTax) field("BinKey").SetInteger(0);
    lines_.Post();
  }

  // The line just posted stands for the first tax of the pass with its
  // product; the taxes levied on that tax are linked to it.
  void LinkLineToTaxesOnTax(const CreationPass& pass) {
    const int32_t product_key = static_cast<int32_t>(lines_.FieldByName("ProductKey").AsInteger());
    for (const TaxRow& tax : taxes_.rows()) {
      if (!pass.handles_tax(tax) || tax.product_key != product_key) continue;
      LinkTaxesOnTax(context_, tax.key,
                     static_cast<int32_t>(lines_.FieldByName("TransKey").AsInteger()),
                     static_cast<int32_t>(lines_.FieldByName("TransPOS").AsInteger()));
      return;
    }
  }

  PricingContext& context_;
  DataSet& lines_;
  const TaxTable taxes_;
  const DateTime invoice_date_;
  const int64_t batch_gl_type_;
  TaxBases bases_;
};

}  // namespace

void RecalculateInvoiceTaxes(PricingContext& context) {
  if (context.tables.tblBatch.FieldByName("Closed").AsInteger() != 0) return;
  OpenForScope open(context.tables.tblTransactions);
  InvoiceTaxRecalculation(context).Run();
}

}  // namespace portavel
