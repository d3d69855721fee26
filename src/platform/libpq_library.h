// libpq, loaded when the store first connects to a PostgreSQL server.
// Linking it would make every request of a store on SQLite load libpq and
// the libraries it needs (Kerberos, LDAP, TLS), which the dynamic loader
// would have to bind at every start of the program.
#pragma once

#include <libpq-fe.h>

namespace portavel {

struct LibpqLibrary {
  decltype(&::PQconnectdbParams) connectdb_params;
  decltype(&::PQstatus) status;
  decltype(&::PQerrorMessage) error_message;
  decltype(&::PQfinish) finish;
  decltype(&::PQexec) exec;
  decltype(&::PQprepare) prepare;
  decltype(&::PQexecPrepared) exec_prepared;
  decltype(&::PQexecParams) exec_params;
  decltype(&::PQresultStatus) result_status;
  decltype(&::PQresultErrorField) result_error_field;
  decltype(&::PQresultErrorMessage) result_error_message;
  decltype(&::PQclear) clear;
  decltype(&::PQntuples) ntuples;
  decltype(&::PQnfields) nfields;
  decltype(&::PQfname) fname;
  decltype(&::PQftype) ftype;
  decltype(&::PQftable) ftable;
  decltype(&::PQftablecol) ftablecol;
  decltype(&::PQgetvalue) getvalue;
  decltype(&::PQgetlength) getlength;
  decltype(&::PQgetisnull) getisnull;
  decltype(&::PQcmdTuples) cmd_tuples;
  decltype(&::PQtransactionStatus) transaction_status;
  decltype(&::PQunescapeBytea) unescape_bytea;
  decltype(&::PQfreemem) freemem;
  decltype(&::PQconsumeInput) consume_input;
  decltype(&::PQsetNoticeProcessor) set_notice_processor;
};

// The loaded library, or nullptr when it cannot be loaded (`error` then
// says why).
const LibpqLibrary* LoadLibpqLibrary(const char** error);

}  // namespace portavel
