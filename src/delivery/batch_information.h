// A truck system announcing a delivery batch before it records deliveries
// into it: the batch's header values are written when the batch is open,
// or a batch is made with exactly the values sent. Knows nothing of HTTP;
// the endpoint reads the request into BatchAnnouncement.
#pragma once

#include <cstdint>
#include <string>

#include "dates/date_time.h"

namespace portavel {

class PostingTables;
class Store;

// What the truck sends; the defaults are the absent values, which leave
// a field as it is (or, for a new batch, unset).
struct BatchAnnouncement {
  int32_t batch = -1;             // BatchKey
  int32_t batch_type = -1;        // BatchType, written only when the batch is made
  int32_t truck = -1;             // EquipmentID
  int32_t driver = -1;            // DriverNumber, and the Employee row naming the driver
  std::string lcr;                // LCRIISerialID, the meter register
  std::string period;             // Period
  DateTime date;                  // Date
  DateTime default_invoice_date;  // DefaultInvDate
  int32_t is_on_truck = -1;       // IsOnTruck
  int32_t bank_key = -1;          // BankKey, kept as its decimal text
  int32_t icount = -1;            // ICount
};

// The status lines, without the CR LF that ends them on the wire.
inline constexpr const char* kNoBatchData = "ERR NO DATA";
inline constexpr const char* kBatchWritten = "200 Ok";
inline constexpr const char* kBatchInfoClosed = "ERR BATCH CLOSED";
inline constexpr const char* kBatchNotFound = "ERR BATCH NOT FOUND";

// Updates or creates the batch through the module's tblBatch and returns
// the status line: "200 Ok" when written (an open batch whose values are
// all those sent is left unposted), "ERR BATCH CLOSED" when the batch is
// closed (nothing written), "ERR BATCH NOT FOUND" when the new batch
// cannot be found after posting it. Without a batch key nothing is done
// and the line is empty. The driver's name ("First LAst" of the Employee
// row, trimmed) is written to DriverName. Store failures are exceptions;
// tblBatch is closed at the end.
std::string AnnounceBatch(Store& store, PostingTables& tables, const BatchAnnouncement& batch);

// "First LAst" of the Employee row with this key, trimmed; "" without one.
std::string LookupDriverName(Store& store, int32_t driver_key);

}  // namespace portavel
