// The built-in "riched20.dll": its one entry creates a text engine for a host.
#include <mutex>
#include <new>

#include "platform/module/Module.h"
#include "platform/textservices/TextEngine.h"
#include "platform/textservices/TextServices.h"

namespace platform {
namespace {

HRESULT CreateTextServices(IUnknown* outer, ITextHost* host, IUnknown** unknown) {
    if (unknown == nullptr) return E_INVALIDARG;
    *unknown = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (host == nullptr) return E_INVALIDARG;
    auto* engine = new (std::nothrow) textservices::CTextEngine(host);
    if (engine == nullptr) return E_OUTOFMEMORY;
    *unknown = engine;
    return S_OK;
}

}  // namespace

void RegisterTextServicesModule() {
    const PCreateTextServices entry = &CreateTextServices;
    RegisterBuiltinModule(kTextServicesModule, {{"CreateTextServices", AsProc(entry)}});
}

void EnsureTextServicesModule() {
    static std::once_flag once;
    std::call_once(once, RegisterTextServicesModule);
}

}  // namespace platform
