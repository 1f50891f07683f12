#include "platform/webengine/WebBrowserClass.h"

#include <unistd.h>

#include <filesystem>

#include "platform/com/BrowserInterfaces.h"
#include "platform/webengine/WebBrowserObject.h"
#include "platform/window/NativeWindow.h"

namespace platform::webengine {

namespace {

constexpr const char* kHelperName = "xjwebhelper";

class WebBrowserFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!(iid == IID_IUnknown || iid == IID_IClassFactory)) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_refs; }
    ULONG Release() noexcept override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        const std::string display = NativeDisplayName();
        const std::string helper = WebHelperProgram();
        if (display.empty() || helper.empty()) return CLASS_E_CLASSNOTAVAILABLE;
        const ComPtr<WebBrowserObject> browser = WebBrowserObject::Create(helper, display);
        if (!browser) return CLASS_E_CLASSNOTAVAILABLE;
        return browser->QueryInterface(iid, object);
    }
    HRESULT LockServer(BOOL) noexcept override { return S_OK; }

private:
    ~WebBrowserFactory() = default;
    ULONG m_refs = 1;
};

bool IsProgram(const std::filesystem::path& path) {
    return access(path.c_str(), X_OK) == 0;
}

}  // namespace

HRESULT WebBrowserClassObject(REFIID iid, void** object) {
    auto* factory = new WebBrowserFactory();
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

std::string WebHelperProgram() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && IsProgram(self.parent_path() / kHelperName)) return (self.parent_path() / kHelperName).string();
#ifdef XJ_WEB_HELPER_PATH
    if (IsProgram(XJ_WEB_HELPER_PATH)) return XJ_WEB_HELPER_PATH;
#endif
    return {};
}

}  // namespace platform::webengine
