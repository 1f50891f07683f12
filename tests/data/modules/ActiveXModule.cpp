// A loadable module that serves the test ActiveX object, as a control's "modulename"
// names one: "DllGetClassObject" for its class, "DllCanUnloadNow" once no object is
// left, and a count of live objects for the tests.
#include "ui/controls/FakeOleObject.h"

namespace {

int g_alive = 0;

fakeax::FakeOptions ModuleOptions() {
    fakeax::FakeOptions options;
    options.origin = "module";
    options.alive = &g_alive;
    return options;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(clsid == fakeax::CLSID_FakeModuleObject)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new fakeax::CFakeFactory<>(ModuleOptions());
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return g_alive == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) int XjFakeObjectsAlive() {
    return g_alive;
}
