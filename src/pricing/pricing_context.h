// What the tax, fee, pre-buy and totals engine works on: the web module's
// posting tables standing on the current batch and invoice, and its open
// preferences table. The engine knows nothing of HTTP.
#pragma once

namespace portavel {

class DataSet;
class PostingTables;
class Store;

struct PricingContext {
  Store& store;
  // tblBatch and tblInvoice open on the batch and invoice being priced;
  // tblTransactions follows the invoice. Tables the engine finds closed
  // it opens for the length of a call and closes again.
  PostingTables& tables;
  // The module's preferences table on its row (UseCATonT, UsePOS,
  // DefGLacct, DefaultEndPercent).
  DataSet& remote_prefs;
};

}  // namespace portavel
