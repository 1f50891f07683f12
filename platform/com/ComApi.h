// Creating COM objects: initialisation per thread, the process's table of in-process
// classes, class ids from text and ProgIDs.
//
// This platform has no system-wide class registry. A class exists when some code of
// the program registers its class object (CoRegisterClassObject) and, optionally, a
// ProgID for it (platform::RegisterProgId), or when the platform serves it itself
// (SystemClasses.h: the web browser); CoCreateInstance finds only those. Classes
// in a loadable module are reached through the module's own "DllGetClassObject" entry
// (see DllGetClassObjectFn), which the caller looks up with GetProcAddress.
//
// Any thread may register, revoke or look up; the table locks, and under its lock it
// only takes references (AddRef), never releases one or calls anything else. CoCreateInstance and CoGetClassObject ask
// the calling thread to have initialised COM (CoInitialize, CoInitializeEx or OleInitialize), as callers of the real
// functions must; an object is then used on the thread that made it.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/ComBase.h"

inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept = 0;
    virtual HRESULT LockServer(BOOL lock) noexcept = 0;

protected:
    ~IClassFactory() = default;
};

// The entry of a module that serves classes: its class object for `clsid`, as `iid`.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);
// A module's optional answer to whether it can be unloaded: S_OK when none of its objects
// is alive any more.
using DllCanUnloadNowFn = HRESULT (*)();

// Where a class may run. Only in-process classes exist here.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_ALL = 0x17;

inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// S_OK the first time on a thread, S_FALSE when the thread already is initialised; each
// success is balanced by one CoUninitialize (OleUninitialize for OleInitialize).
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD flags);
void CoUninitialize();
HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();

// REGDB_E_CLASSNOTREG when no class object is registered for `clsid` in `context` and the
// platform serves no such class;
// CO_E_NOTINITIALIZED on a thread without COM; the class object's own answer otherwise.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID serverInfo, REFIID iid, LPVOID* object);
// The class object's IClassFactory::CreateInstance; `object` is cleared on any failure.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* object);

// Takes a reference on `classObject` until CoRevokeClassObject(cookie). CO_E_OBJISREG
// when the class already has a class object, E_INVALIDARG for a null object or cookie.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD context, DWORD flags, DWORD* cookie);
// CO_E_OBJNOTREG for a cookie that is not registered (any more).
HRESULT CoRevokeClassObject(DWORD cookie);

// Reads "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (hex digits of either case) and nothing
// else; CO_E_CLASSSTRING, with `clsid` set to CLSID_NULL, for any other text.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
// The class registered for the ProgID (compared without case); CO_E_CLASSSTRING, with
// `clsid` set to CLSID_NULL, when there is none.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
// Writes the braced upper-case form and returns its length with the terminator; 0 when
// `size` is too small.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int size);

namespace platform {

// The braced text of a GUID, for logs and messages.
std::wstring GuidText(REFGUID guid);

// Maps a ProgID (such as "Shell.Explorer.2") to a class; a new mapping of the same name
// replaces the old one. False for an empty name.
bool RegisterProgId(std::wstring_view progId, REFCLSID clsid);
// Returns whether the name was mapped.
bool UnregisterProgId(std::wstring_view progId);

}  // namespace platform
