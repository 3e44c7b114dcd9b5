// Capture of the live call table's column schema at an open, for the scanner.
#pragma once

#include "reader/call_log_database.h"
#include "reader/call_log_variant.h"

// Sets the count of the variant's family to 0 (nothing for CallLogVariant::None): an
// open does it first, so a file that cannot be read leaves no earlier file's columns.
void EmptyColumnSchemaFamily(CallLogVariant variant);

// Sets the variant's family count to 0 and runs its table_info pragma on the open
// connection: "PRAGMA table_info(ZCALLRECORD)" for ...callhistory.storedata, none for
// ...call_history.db (its family stays empty), "PRAGMA table_info(logs)" for
// ...logs.db and "PRAGMA table_info(calls)" for ...call.db and ...contacts2.db. The
// other family is left as it was; a failing pragma leaves the family empty. Does
// nothing for CallLogVariant::None.
void CaptureColumnSchema(CallLogConnection& connection, CallLogVariant variant);
