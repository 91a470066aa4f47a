#include "WriteHandover.hpp"

#include "RecorderFailure.hpp"

#include <dlfcn.h>
#include <libburn/libburn.h>

#include <cstdlib>
#include <thread>

namespace Recorder {

namespace {

// libburn's header puts its C API in this namespace when compiled as C++.
using DiscWrite = void (*)(burn::burn_write_opts*, burn::burn_disc*);

DiscWrite LibraryWrite() {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): dlsym gives an address
    static const auto Found = reinterpret_cast<DiscWrite>(::dlsym(RTLD_NEXT, "burn_disc_write"));
    return Found;
}

} // namespace

bool LibraryWriteFound() {
    return LibraryWrite() != nullptr;
}

void RequireLibraryWrite() {
    if (!LibraryWriteFound()) {
        throw RecorderFailure(ExitCode::Write, "cannot find libburn's burn_disc_write");
    }
}

} // namespace Recorder

// libburn's name, which libisoburn calls. Nothing may be thrown into its C code.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" void burn_disc_write(burn::burn_write_opts* o, burn::burn_disc* disc) {
    const Recorder::DiscWrite Write = Recorder::LibraryWrite();
    if (Write == nullptr) {
        // Not reached: no session starts without it (XorrisoSession). Returning would leave an
        // idle drive, which the caller would take for a write done.
        std::abort();
    }
    Write(o, disc);
    burn::burn_drive* Drive = burn::burn_write_opts_get_drive(o);
    if (Drive == nullptr) {
        return;
    }
    const auto Until = std::chrono::steady_clock::now() + Recorder::WriteHandoverWait;
    while (burn::burn_drive_get_status(Drive, nullptr) != burn::BURN_DRIVE_IDLE &&
           std::chrono::steady_clock::now() < Until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
