// The process-wide default host services.
#include "QueltBurnerHostServices.hpp"

#include <mutex>
#include <utility>

namespace Queltburner {

namespace {

std::mutex DefaultMutex;
std::shared_ptr<HostServices>& DefaultSlot() {
    static std::shared_ptr<HostServices> Slot;
    return Slot;
}

} // namespace

std::shared_ptr<HostServices> DefaultHostServices() {
    {
        const std::lock_guard Lock(DefaultMutex);
        if (DefaultSlot()) {
            return DefaultSlot();
        }
    }
    return PlatformHostServices();
}

void SetDefaultHostServices(std::shared_ptr<HostServices> Host) {
    const std::lock_guard Lock(DefaultMutex);
    DefaultSlot() = std::move(Host);
}

} // namespace Queltburner
