// The truck-side endpoints: "/rd" records a delivery, "/bi" announces a
// delivery batch. Each answers one status line followed by CR LF. The
// recording and the batch work live in the delivery subsystem; these
// handlers check the caller, read the request and write the line.
#include "web/delivery_actions.h"

#include <string>

#include "delivery/batch_information.h"
#include "delivery/client_check.h"
#include "delivery/delivery_recorder.h"
#include "delivery/delivery_values.h"

namespace portavel {
namespace {

constexpr const char* kNotAllowed = "ERR NOT ALLOWED";
constexpr int kForbidden = 403;

// The request's content fields when it has any, else its query fields.
// An absent field reads as its absent value; a present one that does not
// read is a conversion error.
class TruckFields {
 public:
  explicit TruckFields(const WebRequest& request)
      : fields_(request.content_fields.items().empty() ? request.query_fields
                                                       : request.content_fields) {}

  bool empty() const { return fields_.items().empty(); }
  int32_t Integer(std::string_view name) const {
    return fields_.Contains(name) ? ParseIntegerValue(fields_.Value(name)) : -1;
  }
  Money Currency(std::string_view name) const {
    return fields_.Contains(name) ? ParseCurrencyValue(fields_.Value(name)) : Money();
  }
  std::string Text(std::string_view name) const { return fields_.Value(name); }
  DateTime Date(std::string_view name) const {
    return fields_.Contains(name) ? ParseDateTimeValue(fields_.Value(name)) : DateTime();
  }

 private:
  const FieldList& fields_;
};

// Fields read in this order, so that the first bad one is the one reported.
DeliveryValues ReadDelivery(const TruckFields& fields) {
  DeliveryValues delivery;
  delivery.account = fields.Integer("Account");
  delivery.tank = fields.Integer("Tank");
  delivery.batch = fields.Integer("Batch");
  delivery.invoice = fields.Integer("Invoice");
  delivery.trans = fields.Integer("Trans");
  delivery.product = fields.Integer("Product");
  delivery.pkgs = fields.Currency("Pkgs");
  delivery.price = fields.Currency("Price");
  delivery.end_percent = fields.Integer("EndPercent");
  delivery.invoice_no = fields.Text("InvNo");
  delivery.invoice_date = fields.Date("InvDate");
  return delivery;
}

BatchAnnouncement ReadBatch(const TruckFields& fields) {
  BatchAnnouncement batch;
  batch.batch = fields.Integer("Batch");
  batch.batch_type = fields.Integer("BatchType");
  batch.truck = fields.Integer("Truck");
  batch.driver = fields.Integer("Driver");
  batch.lcr = fields.Text("LCR");
  batch.period = fields.Text("Period");
  batch.date = fields.Date("Date");
  batch.default_invoice_date = fields.Date("DefDate");
  batch.is_on_truck = fields.Integer("IsOnTruck");
  batch.bank_key = fields.Integer("BankKey");
  batch.icount = fields.Integer("ICount");
  return batch;
}

void AnswerLine(WebResponse& response, const std::string& line) {
  response.content = line.empty() ? "" : line + "\r\n";
}

// Answers a caller the configuration does not list, before anything is
// read from the request or the store; true when it did. The operator
// learns which address to allow.
bool RefusedClient(const Config& config, Platform& platform, const WebRequest& request,
                   WebResponse& response) {
  std::string address;
  if (request.environment) address = request.environment("REMOTE_ADDR").value_or("");
  if (IsAllowedDeliveryClient(config.delivery, address)) return false;
  platform.OperatorMessage("Refused for the client address \"" + address +
                           "\": not in [delivery] allowed_clients of " + config.path);
  response.status_code = kForbidden;
  AnswerLine(response, kNotAllowed);
  return true;
}

}  // namespace

void wmMain_RecordDeliveryAction(ModuleRequest& action) {
  const ServiceContext& context = action.context;
  if (RefusedClient(context.config, context.platform, action.request, action.response)) return;
  const TruckFields fields(action.request);
  if (fields.empty()) return AnswerLine(action.response, kNoInvoiceData);
  const DeliveryValues delivery = ReadDelivery(fields);
  AnswerLine(action.response, RecordDelivery(context.store, action.tables.Posting(),
                                             action.tables.tblRemotePrefs, delivery));
}

void wmMain_BatchInfoAction(ModuleRequest& action) {
  const ServiceContext& context = action.context;
  if (RefusedClient(context.config, context.platform, action.request, action.response)) return;
  const TruckFields fields(action.request);
  if (fields.empty()) return AnswerLine(action.response, kNoBatchData);
  AnswerLine(action.response,
             AnnounceBatch(context.store, action.tables.Posting(), ReadBatch(fields)));
}

}  // namespace portavel
