// The in-process server: class table, class factory, module life and self-registration.
#include "Common.h"
#include "Flash.h"
#include "WebBrowser.h"

#include <exdisp.h>
#include <olectl.h>

namespace standins {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

// Every class the server offers. A further stand-in is one more entry here and in register.sh.
struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* description;
    HRESULT (*create)(REFIID, void**);
};

const ClassEntry kClasses[] = {
    {&CLSID_WebBrowser, L"Kelvo stand-in: web browser control", &CreateWebBrowser},
    {&CLSID_ShockwaveFlashStandin, L"Kelvo stand-in: Shockwave Flash control", &CreateFlash},
};

class ClassFactory final : public IClassFactory, private ModuleObject {
public:
    explicit ClassFactory(const ClassEntry& entry) : m_entry(entry) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory)
            return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    STANDIN_REFERENCE_COUNT
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return m_entry.create(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        standins::LockServer(lock != FALSE);
        return S_OK;
    }

private:
    LONG m_refs = 1;
    const ClassEntry& m_entry;
};

bool SetValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

} // namespace

void ObjectCreated() {
    ::InterlockedIncrement(&g_objects);
}
void ObjectDestroyed() {
    ::InterlockedDecrement(&g_objects);
}
void LockServer(bool lock) {
    if (lock)
        ::InterlockedIncrement(&g_locks);
    else
        ::InterlockedDecrement(&g_locks);
}
bool CanUnload() {
    return g_objects == 0 && g_locks == 0;
}
HINSTANCE ModuleInstance() {
    return g_instance;
}

} // namespace standins

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        standins::g_instance = instance;
        ::DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded while the process goes on: a later load may sit at another address.
        standins::UnregisterWebBrowserClasses();
        standins::UnregisterFlashClasses();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (const auto& entry : standins::kClasses) {
        if (*entry.clsid == clsid) {
            auto* factory = new (std::nothrow) standins::ClassFactory(entry);
            if (!factory)
                return E_OUTOFMEMORY;
            const HRESULT hr = factory->QueryInterface(iid, out);
            factory->Release();
            return hr;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return standins::CanUnload() ? S_OK : S_FALSE;
}

// Writes the same keys as register.sh, for `wine regsvr32`. There is no unregistration: it would
// remove the system's own entry for the class, so a scratch prefix is simply thrown away.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH] = L"";
    if (!::GetModuleFileNameW(standins::g_instance, path, MAX_PATH))
        return SELFREG_E_CLASS;
    for (const auto& entry : standins::kClasses) {
        const std::wstring key = L"Software\\Classes\\CLSID\\" + standins::GuidString(*entry.clsid);
        if (!standins::SetValue(HKEY_LOCAL_MACHINE, key, nullptr, entry.description) ||
            !standins::SetValue(HKEY_LOCAL_MACHINE, key + L"\\InprocServer32", nullptr, path) ||
            !standins::SetValue(HKEY_LOCAL_MACHINE, key + L"\\InprocServer32", L"ThreadingModel",
                                L"Apartment"))
            return SELFREG_E_CLASS;
    }
    return S_OK;
}
