#include "data/event_log.h"

#include "data/data_set.h"
#include "data/store.h"
#include "platform/platform.h"

namespace portavel {

void WriteLogEntry(Store& store, Platform& platform, std::string_view text) {
  int64_t log_key = -1;
  {
    DataSet keys(store, "UserData", "Keys.DB");
    keys.Open();
    if (keys.Locate({{"TableName", Value::Text("Log")}}, /*case_insensitive=*/true)) {
      log_key = keys.IncrementField("NextNumber");
    }
  }
  if (log_key <= 0) return;

  DataSet log(store, "UserData", "Log.DB");
  log.Open();
  log.Append();
  log.FieldByName("Logkey").SetInteger(log_key);
  log.FieldByName("Logdesc").SetString(std::string(text));
  log.FieldByName("Ltime").SetDateTime(platform.Now());
  log.Post();
}

}  // namespace portavel
