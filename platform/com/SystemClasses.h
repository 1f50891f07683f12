// The classes the platform serves itself, as a system's class registry would list them:
// CoGetClassObject finds them when the program has not registered the class itself (a
// registration of the program's own, such as a test's stand-in, comes first).
//
// Now only the web browser (CLSID_WebBrowser), and only in builds with the web engine.
// Any thread.
#pragma once

#include "platform/com/ComBase.h"

namespace platform {

// REGDB_E_CLASSNOTREG for a class the platform does not serve.
HRESULT SystemClassObject(REFCLSID clsid, REFIID iid, void** object);

}  // namespace platform
