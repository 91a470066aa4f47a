// The package library's entry point on Windows.
#include "QueltBurnerPack.hpp"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID /*Reserved*/) {
    return Queltburnerpack::initialization(static_cast<void*>(Instance), Reason) != 0 ? TRUE
                                                                                      : FALSE;
}
