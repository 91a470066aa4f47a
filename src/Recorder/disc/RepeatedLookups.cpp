#include "RepeatedLookups.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace Recorder {

namespace {

// A plain pointer: a thread's lookups after its thread_local objects are gone still find none.
thread_local RepeatedLookups* Current = nullptr;

// The entry points' own work: glibc's stat and lstat are fstatat on the working folder.
int LookUp(const char* Path, struct stat* Info, bool NoFollow) {
    if (Path == nullptr || Info == nullptr) {
        errno = EFAULT; // as the kernel answers
        return -1;
    }
    return ::fstatat(AT_FDCWD, Path, Info, NoFollow ? AT_SYMLINK_NOFOLLOW : 0);
}

// The old entry points (__xstat, __lxstat), as libraries built against glibc before 2.33 call
// them, name the layout they want filled: on x86-64 the kernel's (0) and glibc's (1) are both
// struct stat. Any other is refused, as glibc refuses a layout it does not know.
constexpr bool OldLayoutsAreStat = sizeof(void*) == 8 && sizeof(struct stat) == 144;

// A lookup by one of the entry points: through the calling thread's scope, if it has one.
int LookUpHere(const char* Path, struct stat* Info, bool NoFollow) {
    RepeatedLookups* Scope = RepeatedLookups::OfThisThread();
    return Scope != nullptr ? Scope->Look(Path, Info, NoFollow) : LookUp(Path, Info, NoFollow);
}

int LookUpVersion(int Version, const char* Path, struct stat* Info, bool NoFollow) {
    if ((Version != 0 && Version != 1) || !OldLayoutsAreStat) {
        errno = EINVAL;
        return -1;
    }
    return LookUpHere(Path, Info, NoFollow);
}

} // namespace

RepeatedLookups::RepeatedLookups() noexcept : FOuter(Current) {
    Current = this;
}

RepeatedLookups::~RepeatedLookups() {
    Current = FOuter;
}

RepeatedLookups* RepeatedLookups::OfThisThread() noexcept {
    return Current;
}

int RepeatedLookups::Look(const char* Path, struct stat* Info, bool NoFollow) {
    if (Path != nullptr && Info != nullptr && FPath == Path) {
        if (NoFollow ? FHaveLink : FHaveTarget) {
            *Info = NoFollow ? FLink : FTarget;
            return 0;
        }
    } else {
        FHaveLink = FHaveTarget = false;
        try {
            FPath = Path != nullptr ? Path : "";
        } catch (const std::bad_alloc&) {
            FPath.clear(); // nothing is remembered; the lookup itself goes on
        }
    }
    ++FAsked;
    const int Found = LookUp(Path, Info, NoFollow);
    if (Found != 0 || FPath.empty()) {
        const int Error = errno;
        FHaveLink = FHaveTarget = false;
        FPath.clear();
        errno = Error;
        return Found;
    }
    if (NoFollow) {
        FLink = *Info;
        FHaveLink = true;
        // A path that does not end in a link is the same file followed or not.
        if (!S_ISLNK(Info->st_mode)) {
            FTarget = *Info;
            FHaveTarget = true;
        }
    } else {
        FTarget = *Info;
        FHaveTarget = true;
    }
    return 0;
}

} // namespace Recorder

// libc's names, which the libraries call. Nothing may be thrown into their C code.
// NOLINTBEGIN(readability-identifier-naming,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-inconsistent-declaration-parameter-name)
extern "C" int stat(const char* __restrict Path, struct stat* __restrict Info) noexcept {
    return Recorder::LookUpHere(Path, Info, false);
}

extern "C" int lstat(const char* __restrict Path, struct stat* __restrict Info) noexcept {
    return Recorder::LookUpHere(Path, Info, true);
}

extern "C" int __xstat(int Version, const char* Path, struct stat* Info) noexcept {
    return Recorder::LookUpVersion(Version, Path, Info, false);
}

extern "C" int __lxstat(int Version, const char* Path, struct stat* Info) noexcept {
    return Recorder::LookUpVersion(Version, Path, Info, true);
}
// NOLINTEND(readability-identifier-naming,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-inconsistent-declaration-parameter-name)
