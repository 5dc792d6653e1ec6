#include "Background.h"

#include "Common.h"

namespace standins {
namespace {

struct Job {
    std::function<void()> work;
    HMODULE module;
};

DWORD WINAPI RunJob(void* parameter) {
    auto* job = static_cast<Job*>(parameter);
    const HMODULE module = job->module;
    try {
        job->work();
    } catch (...) {
        // A load that ran out of memory delivers nothing, as a load that never ends.
        ::OutputDebugStringW(L"kelvo stand-in: a background load failed\n");
    }
    delete job;
    // The thread's own code is in this module: the module goes, if at all, only once it has ended.
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

} // namespace

bool RunInBackground(std::function<void()> work) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&RunInBackground), &module))
        return false;
    auto* job = new (std::nothrow) Job{std::move(work), module};
    const HANDLE thread = job ? ::CreateThread(nullptr, 0, &RunJob, job, 0, nullptr) : nullptr;
    if (!thread) {
        delete job;
        ::FreeLibrary(module);
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

} // namespace standins
