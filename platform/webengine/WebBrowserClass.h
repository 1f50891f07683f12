// The class object of the web browser (CLSID_WebBrowser) that the system's class table
// hands out (platform/com/SystemClasses.h) where the build has the web engine.
//
// Its CreateInstance makes a WebBrowserObject when an engine can run here: the display
// has native windows (not headless) and the helper program exists. Otherwise it answers
// CLASS_E_CLASSNOTAVAILABLE, so that a host behaves as on a system without a browser.
// Any thread may ask for the class object; an instance belongs to the thread that made it.
#pragma once

#include <string>

#include "platform/com/ComApi.h"

namespace platform::webengine {

HRESULT WebBrowserClassObject(REFIID iid, void** object);
// The helper program next to the running program, else where the build put it; empty
// when neither is there.
std::string WebHelperProgram();

}  // namespace platform::webengine
