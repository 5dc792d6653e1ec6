// A library that exports DllGetClassObject but makes no usable control, for the checks of a Flash
// control shipped beside the program. KELVO_TEST_FACTORY, read at each call, says how it fails:
// "refuse" (the default): it does not know the class; "bare": its factory makes an object that is
// no embeddable control (IUnknown and nothing else).
#include <windows.h>
#include <unknwn.h>

namespace {

bool BareMode() {
    wchar_t mode[16] = L"";
    return ::GetEnvironmentVariableW(L"KELVO_TEST_FACTORY", mode, 16) == 4 && lstrcmpW(mode, L"bare") == 0;
}

// One static object serves as both the factory and what it makes: nothing here is ever freed.
class BareObject final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory)
            return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (iid != IID_IUnknown) {
            if (out)
                *out = nullptr;
            return E_NOINTERFACE;
        }
        return QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

BareObject g_bare;

} // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!BareMode())
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_bare.QueryInterface(iid, out);
}
