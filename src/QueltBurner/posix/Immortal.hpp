// An object of the library's own, made on first use and never destroyed. Used for what a waiter
// process may still need while the program exits: a destructor at exit would wait for tools
// still running, or free memory a waiter still uses.
#pragma once

#include <new>

namespace Queltburner::Posix {

template <class T>
T& Immortal() noexcept {
    alignas(T) static unsigned char Storage[sizeof(T)];
    static T* const Object = new (Storage) T;
    return *Object;
}

} // namespace Queltburner::Posix
