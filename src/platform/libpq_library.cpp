#include "platform/libpq_library.h"

#include <dlfcn.h>

namespace portavel {
namespace {

struct Loaded {
  LibpqLibrary library{};
  const char* error = nullptr;
};

template <typename Function>
bool Resolve(void* handle, const char* name, Function* target) {
  *target = reinterpret_cast<Function>(dlsym(handle, name));
  return *target != nullptr;
}

Loaded Load() {
  Loaded loaded;
  void* handle = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    loaded.error = "libpq.so.5 could not be loaded (Debian package libpq5)";
    return loaded;
  }
  LibpqLibrary& l = loaded.library;
  const bool complete =
      Resolve(handle, "PQconnectdbParams", &l.connectdb_params) &&
      Resolve(handle, "PQstatus", &l.status) &&
      Resolve(handle, "PQerrorMessage", &l.error_message) &&
      Resolve(handle, "PQfinish", &l.finish) && Resolve(handle, "PQexec", &l.exec) &&
      Resolve(handle, "PQprepare", &l.prepare) &&
      Resolve(handle, "PQexecPrepared", &l.exec_prepared) &&
      Resolve(handle, "PQexecParams", &l.exec_params) &&
      Resolve(handle, "PQresultStatus", &l.result_status) &&
      Resolve(handle, "PQresultErrorField", &l.result_error_field) &&
      Resolve(handle, "PQresultErrorMessage", &l.result_error_message) &&
      Resolve(handle, "PQclear", &l.clear) && Resolve(handle, "PQntuples", &l.ntuples) &&
      Resolve(handle, "PQnfields", &l.nfields) && Resolve(handle, "PQfname", &l.fname) &&
      Resolve(handle, "PQftype", &l.ftype) && Resolve(handle, "PQftable", &l.ftable) &&
      Resolve(handle, "PQftablecol", &l.ftablecol) && Resolve(handle, "PQgetvalue", &l.getvalue) &&
      Resolve(handle, "PQgetlength", &l.getlength) &&
      Resolve(handle, "PQgetisnull", &l.getisnull) &&
      Resolve(handle, "PQcmdTuples", &l.cmd_tuples) &&
      Resolve(handle, "PQtransactionStatus", &l.transaction_status) &&
      Resolve(handle, "PQunescapeBytea", &l.unescape_bytea) &&
      Resolve(handle, "PQfreemem", &l.freemem) &&
      Resolve(handle, "PQconsumeInput", &l.consume_input) &&
      Resolve(handle, "PQsetNoticeProcessor", &l.set_notice_processor);
  if (!complete) loaded.error = "libpq.so.5 lacks a function the program needs";
  return loaded;
}

}  // namespace

const LibpqLibrary* LoadLibpqLibrary(const char** error) {
  static const Loaded loaded = Load();
  if (error) *error = loaded.error;
  return loaded.error ? nullptr : &loaded.library;
}

}  // namespace portavel
