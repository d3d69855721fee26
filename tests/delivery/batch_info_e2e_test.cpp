// "/bi", announcing a delivery batch, answered by the built program as a
// CGI process.
#include <gtest/gtest.h>

#include "delivery/delivery_fixture.h"
#include "web/web_response.h"

namespace portavel::testing {
namespace {

class BatchInfoE2eTest : public ::testing::Test, protected DeliveryFixture {
 protected:
  void SetUp() override {
    temp().Insert("Employee", {{"EmployeeKey", Value::Integer(12)},
                               {"First", Value::Text("Dale")},
                               {"LAst", Value::Text("Porter")}});
    temp().Insert("Employee",
                  {{"EmployeeKey", Value::Integer(13)}, {"First", Value::Text("Marisol")}});
  }
  std::string Batch(int64_t key, const char* fields) {
    return TextOf(std::string("SELECT ") + fields +
                  " FROM \"Manifest\" WHERE \"BatchKey\" = " + std::to_string(key));
  }
};

// The header fields as one text, "-" for null (as text, since PostgreSQL
// coalesces only values of one type).
const char* const kHeader =
    "coalesce(CAST(\"BatchType\" AS TEXT), '-') || ' ' || coalesce(CAST(\"EquipmentID\" AS TEXT), "
    "'-') || ' ' || "
    "coalesce(CAST(\"DriverNumber\" AS TEXT), '-') || ' ' || coalesce(CAST(\"LCRIISerialID\" AS "
    "TEXT), '-') || ' ' || "
    "coalesce(CAST(\"Period\" AS TEXT), '-') || ' ' || coalesce(CAST(\"Date\" AS TEXT), '-') || ' "
    "' || coalesce(CAST(\"DefaultInvDate\" AS TEXT), '-') "
    "|| ' ' || coalesce(CAST(\"IsOnTruck\" AS TEXT), '-') || ' ' || coalesce(CAST(\"BankKey\" AS "
    "TEXT), '-') || ' ' || "
    "coalesce(CAST(\"ICount\" AS TEXT), '-') || ' ' || coalesce(CAST(\"DriverName\" AS TEXT), '-') "
    "|| ' ' || coalesce(CAST(\"Closed\" AS TEXT), '-')";

TEST_F(BatchInfoE2eTest, NoFieldsAndNoBatch) {
  EXPECT_EQ(Send("/bi", ""), StatusResponse("ERR NO DATA"));
  // Nothing to do without a batch key: an empty answer.
  EXPECT_EQ(Send("/bi", "Truck=7&Driver=12"),
            "Status: 200 OK\r\nContent-Type: text/html\r\nContent:\r\n\r\n");
  EXPECT_EQ(Send("/bi", "Batch=-1&Truck=7"),
            "Status: 200 OK\r\nContent-Type: text/html\r\nContent:\r\n\r\n");
}

TEST_F(BatchInfoE2eTest, ANewBatchHasExactlyTheValuesSent) {
  EXPECT_EQ(Send("/bi",
                 "Batch=610&BatchType=4&Truck=7&Driver=12&LCR=LCR-88&Period=2403&Date=3/31/2024"
                 "&DefDate=4/1/2024&IsOnTruck=1&BankKey=1010&ICount=3"),
            StatusResponse("200 Ok"));
  EXPECT_EQ(Batch(610, kHeader), "4 7 12 LCR-88 2403 2024-03-31 2024-04-01 1 1010 3 Dale Porter -");
  // None of the payment batch's defaults, and no key drawn.
  EXPECT_EQ(Batch(610, "coalesce(CAST(\"DefInvType\" AS TEXT), 'none')"), "none");
  // A PostgreSQL column keeps one type; a SQLite value has one of its own.
  if (!temp().on_postgresql()) {
    EXPECT_EQ(Scalar("SELECT typeof(BankKey) = 'text' FROM Manifest WHERE BatchKey = 610"), 1);
  }

  // A driver without a last name; everything else left out.
  EXPECT_EQ(Send("/bi", "Batch=611&Driver=13"), StatusResponse("200 Ok"));
  EXPECT_EQ(Batch(611, kHeader), "- - 13 - - - - - - - Marisol -");
}

TEST_F(BatchInfoE2eTest, AnOpenBatchTakesTheValuesSentButKeepsItsType) {
  Exec("CREATE TABLE ManifestPosts (n INTEGER)");
  Exec(TriggerSql(temp().engine(), "counted", "AFTER UPDATE", "\"Manifest\"",
                  "INSERT INTO ManifestPosts VALUES (1);"));
  const std::string sent =
      "Batch=42&BatchType=9&Truck=7&Driver=12&LCR=LCR-88&Date=3/31/2024&BankKey=1010&ICount=3";
  EXPECT_EQ(Send("/bi", sent), StatusResponse("200 Ok"));
  EXPECT_EQ(Batch(kBatch, kHeader),
            "4 7 12 LCR-88 2403 2024-03-31 2024-03-30 - 1010 3 Dale Porter 0");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM ManifestPosts"), 1);

  // The same values again: answered, but the row is not written.
  EXPECT_EQ(Send("/bi", sent), StatusResponse("200 Ok"));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM ManifestPosts"), 1);
}

TEST_F(BatchInfoE2eTest, AClosedBatchKeepsItsValues) {
  Exec("UPDATE \"Manifest\" SET \"Closed\" = 1");
  const std::string before = Snapshot();
  EXPECT_EQ(Send("/bi", "Batch=42&Truck=7&Period=2404"), StatusResponse("ERR BATCH CLOSED"));
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(BatchInfoE2eTest, ABatchThatCannotBeMadeOrReadEndsAsSuch) {
  Exec(TriggerSql(temp().engine(), "vanish", "AFTER INSERT", "\"Manifest\"",
                  "DELETE FROM \"Manifest\" WHERE rowid = NEW.rowid;"));
  EXPECT_EQ(Send("/bi", "Batch=612&Truck=7"), StatusResponse("ERR BATCH NOT FOUND"));
  EXPECT_EQ(Send("/bi", "Batch=612&Date=31/3/2024"),
            ErrorResponseBytes("EConvertError", "'31/3/2024' is not a valid date and time"));
}

}  // namespace
}  // namespace portavel::testing
