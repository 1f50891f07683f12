#include "platform/com/SystemClasses.h"

#include "platform/com/BrowserInterfaces.h"
#include "platform/webengine/WebBrowserClass.h"

namespace platform {

HRESULT SystemClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
#ifdef XJ_WEB_ENGINE
    if (clsid == CLSID_WebBrowser) return webengine::WebBrowserClassObject(iid, object);
#else
    (void)clsid;
    (void)iid;
#endif
    return REGDB_E_CLASSNOTREG;
}

}  // namespace platform
