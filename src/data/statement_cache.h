// Prepared statements kept per store connection between uses. A process
// that serves one request after another keeps its connections, and with
// them the statements its pages prepare, so a page prepares nothing the
// previous one already did; within one request, a statement run in a loop
// (a key draw, a row read) is prepared once. Only connections a store has
// registered keep statements; any other is prepared and finalized as usual.
#pragma once

#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace portavel {

// A statement for `sql` on `db`, ready to bind and step: one kept from an
// earlier use when there is one that is not in use, else a new one. Throws
// StoreError when the statement cannot be prepared.
sqlite3_stmt* TakeStatement(sqlite3* db, const std::string& sql);

// Ends a use of a statement from TakeStatement: resets it and clears its
// bindings, then keeps it for the next use of its text or finalizes it.
void GiveBackStatement(sqlite3_stmt* statement);

// Starts and ends keeping statements for a connection. Ending finalizes
// every statement kept, so the connection can then be closed.
void KeepStatementsFor(sqlite3* db);
void FinalizeKeptStatements(sqlite3* db);

}  // namespace portavel
