#include "System.Packages.hpp"

#include <algorithm>
#include <map>
#include <mutex>

namespace System {

namespace {

struct RuntimeState {
    std::mutex Mutex;
    std::vector<TLibModule*> Modules;
    // How many loads of each unit table are waiting for their unload.
    std::map<PackageInfo, int> LoadCounts;
    std::vector<TModuleUnloadHandler> UnloadHandlers;
};

// Never destroyed: at process exit a package's shut-down may unregister its module after this
// library's own static objects are gone.
RuntimeState& State() {
    static auto* const Instance = new RuntimeState();
    return *Instance;
}

void RunShutDowns(PackageInfo Table, int Count) {
    for (int Index = Count - 1; Index >= 0; --Index) {
        if (const TUnitProc FInit = Table->UnitInfo[Index].FInit) {
            FInit();
        }
    }
}

} // namespace

void RegisterModule(TLibModule* Module) {
    RuntimeState& Runtime = State();
    const std::lock_guard Lock(Runtime.Mutex);
    if (Module != nullptr && std::find(Runtime.Modules.begin(), Runtime.Modules.end(), Module) ==
                                 Runtime.Modules.end()) {
        Runtime.Modules.push_back(Module);
    }
}

void UnregisterModule(TLibModule* Module) {
    std::vector<TModuleUnloadHandler> Handlers;
    {
        RuntimeState& Runtime = State();
        const std::lock_guard Lock(Runtime.Mutex);
        std::erase(Runtime.Modules, Module);
        Handlers = Runtime.UnloadHandlers;
    }
    // Outside the lock: a handler takes its own registry's lock, which another thread may hold
    // while it looks up a module here.
    if (Module != nullptr) {
        for (const TModuleUnloadHandler Handler : Handlers) {
            Handler(Module->Instance);
        }
    }
}

void AddModuleUnloadHandler(TModuleUnloadHandler Handler) {
    RuntimeState& Runtime = State();
    const std::lock_guard Lock(Runtime.Mutex);
    if (Handler != nullptr &&
        std::find(Runtime.UnloadHandlers.begin(), Runtime.UnloadHandlers.end(), Handler) ==
            Runtime.UnloadHandlers.end()) {
        Runtime.UnloadHandlers.push_back(Handler);
    }
}

bool IsModuleRegistered(const TLibModule* Module) {
    RuntimeState& Runtime = State();
    const std::lock_guard Lock(Runtime.Mutex);
    return std::find(Runtime.Modules.begin(), Runtime.Modules.end(), Module) !=
           Runtime.Modules.end();
}

void HandleLibraryNotification(TLibModule& Module, void* Instance, std::uint32_t Reason) noexcept {
    Module.Instance = Instance;
    if (Module.ResInstance == nullptr) {
        Module.ResInstance = Instance;
    }
    try {
        if (Reason == ProcessAttach) {
            RegisterModule(&Module);
        } else if (Reason == ProcessDetach) {
            UnregisterModule(&Module);
            if (Module.ResInstance != Instance) {
                CloseLibrary(Module.ResInstance);
            }
            Module.ResInstance = nullptr;
        }
    } catch (...) {
        // Only memory exhaustion can get here. An entry point reports success regardless: failing
        // the attach would make the loader fail the host's load, and nothing else depends on it.
    }
}

void PackageLoad(PackageInfo Table, TLibModule* /*Module*/) {
    if (Table == nullptr) {
        return;
    }
    int Started = 0;
    try {
        for (; Started < Table->UnitCount; ++Started) {
            if (const TUnitProc Init = Table->UnitInfo[Started].Init) {
                Init();
            }
        }
    } catch (...) {
        // The unit that threw counts as not started; the ones before it are shut down again.
        RunShutDowns(Table, Started);
        throw;
    }
    RuntimeState& Runtime = State();
    const std::lock_guard Lock(Runtime.Mutex);
    ++Runtime.LoadCounts[Table];
}

void PackageUnload(PackageInfo Table, TLibModule* /*Module*/) {
    if (Table == nullptr) {
        return;
    }
    {
        RuntimeState& Runtime = State();
        const std::lock_guard Lock(Runtime.Mutex);
        const auto Found = Runtime.LoadCounts.find(Table);
        if (Found == Runtime.LoadCounts.end()) {
            return;
        }
        if (--Found->second == 0) {
            Runtime.LoadCounts.erase(Found);
        }
    }
    RunShutDowns(Table, Table->UnitCount);
}

} // namespace System
