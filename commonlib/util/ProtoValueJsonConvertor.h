// JSON text of a ProtoValue, for the report classes that parse it back with jsoncpp.
//
// Null, integers, reals, arrays and maps become their JSON counterparts; wide strings and
// narrow strings (taken as UTF-8) become JSON strings. A real that JSON cannot write (NaN,
// an infinity) becomes null, so the text always parses. Reentrant.
#pragma once

#include <string>

#include "commonlib/core/ProtoValue.h"

std::wstring ProtoValueToJsonText(const ProtoValue& value);
