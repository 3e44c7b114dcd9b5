// The open sequence without its dialog and list: what the tests drive the reader with.
#include "tests/reader/reader_test_support.h"

#include "reader/call_log_database.h"
#include "reader/call_log_variant.h"
#include "reader/call_rows.h"
#include "recovery/schema_capture.h"

bool ReadCallLog(const std::string& ansiPath, CWnd& owner)
{
    CallRecordTable.Reset();
    OpenFilePath = ansiPath;
    const CallLogVariant variant = FindCallLogVariant(ansiPath);
    if (variant == CallLogVariant::None)
        return false;
    EmptyColumnSchemaFamily(variant);
    CallLogConnection connection(ansiPath);
    if (!connection.IsOpen())
        return false;
    if (IsIphoneVariant(variant))
        ReadIphoneCallRows(connection);
    else
        ReadAndroidCallRows(connection, owner);
    CaptureColumnSchema(connection, variant);
    return true;
}
