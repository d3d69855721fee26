#include "delivery/batch_information.h"

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "delivery/conditional_writes.h"
#include "posting/posting_tables.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

// The header fields in the order they are written, with their values.
struct HeaderValue {
  const char* field;
  Value value;
  bool present;
};

std::vector<HeaderValue> HeaderValues(const BatchAnnouncement& sent,
                                      const std::string& driver_name) {
  auto integer = [](const char* field, int32_t value) {
    return HeaderValue{field, Value::Integer(value), value != -1};
  };
  auto text = [](const char* field, const std::string& value) {
    return HeaderValue{field, Value::Text(value), !value.empty()};
  };
  auto date = [](const char* field, DateTime value) {
    return HeaderValue{field, Value::DateTimeValue(value), !value.IsNoDate()};
  };
  return {
      integer("EquipmentID", sent.truck),
      integer("DriverNumber", sent.driver),
      text("LCRIISerialID", sent.lcr),
      text("Period", sent.period),
      date("Date", sent.date),
      date("DefaultInvDate", sent.default_invoice_date),
      integer("IsOnTruck", sent.is_on_truck),
      integer("BankKey", sent.bank_key),
      integer("ICount", sent.icount),
      text("DriverName", driver_name),
  };
}

enum class BatchResult { kClosed, kNotFound, kWritten };

BatchResult UpdateOrCreateBatch(Store& store, PostingTables& tables,
                                const BatchAnnouncement& sent) {
  DataSet& batch = tables.tblBatch;
  const DataSetCloser close(batch);
  batch.Open();
  const std::string driver_name = sent.driver != -1 ? LookupDriverName(store, sent.driver) : "";
  const std::vector<HeaderValue> values = HeaderValues(sent, driver_name);
  const std::vector<std::pair<std::string, Value>> by_key = {
      {"BatchKey", Value::Integer(sent.batch)}};

  if (batch.Locate(by_key)) {
    if (batch.FieldByName("Closed").AsInteger() >= 1) return BatchResult::kClosed;
    for (const HeaderValue& header : values) {
      if (header.present) UpdateFieldIfChanged(batch, header.field, header.value);
    }
    batch.Post();  // nothing to write when nothing changed
    return BatchResult::kWritten;
  }

  // Exactly what the truck sent: none of the payment-batch defaults.
  {
    const ScopedNewRecordOff bare(tables, batch);
    batch.Insert();
  }
  try {
    batch.FieldByName("BatchKey").SetInteger(sent.batch);
    if (sent.batch_type != -1) batch.FieldByName("BatchType").SetInteger(sent.batch_type);
    for (const HeaderValue& header : values) {
      if (header.present) batch.FieldByName(header.field).Set(header.value);
    }
    batch.Post();
  } catch (...) {
    batch.Cancel();
    throw;
  }
  return batch.Locate(by_key) ? BatchResult::kWritten : BatchResult::kNotFound;
}

}  // namespace

std::string LookupDriverName(Store& store, int32_t driver_key) {
  DataSet employees(store, "UserData", "Employee.DB");
  employees.SetReadOnly(true);
  employees.Open();
  if (!employees.Locate({{"EmployeeKey", Value::Integer(driver_key)}})) return "";
  return std::string(Trim(employees.FieldByName("First").AsString() + " " +
                          employees.FieldByName("LAst").AsString()));
}

std::string AnnounceBatch(Store& store, PostingTables& tables, const BatchAnnouncement& batch) {
  if (batch.batch == -1) return "";
  switch (UpdateOrCreateBatch(store, tables, batch)) {
    case BatchResult::kClosed:
      return kBatchInfoClosed;
    case BatchResult::kNotFound:
      return kBatchNotFound;
    case BatchResult::kWritten:
      break;
  }
  return kBatchWritten;
}

}  // namespace portavel
