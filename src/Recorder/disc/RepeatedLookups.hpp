// While the interpreter maps sources into a session, libisoburn, libisofs and libacl look each
// source up by its full path about eleven times in a row (lstat and stat, old and new entry
// points, and again for each ACL they ask for), and every look walks the whole path in the
// kernel again: on a tree of small files that is most of the preparing. The program defines
// libc's stat, lstat, __xstat and __lxstat itself (exported, so that the libraries' calls reach
// them): on a thread inside a RepeatedLookups scope, a lookup of the same path as that thread's
// previous one is answered with the previous answer; everywhere else, and for any other path,
// they look up as libc does. A source that changes in the microseconds between two such lookups
// is one that changes while it is written, which the stamps find (sources/Sources.hpp).
#pragma once

#include <sys/stat.h>

#include <string>

namespace Recorder {

class RepeatedLookups {
public:
    RepeatedLookups() noexcept;
    ~RepeatedLookups();
    RepeatedLookups(const RepeatedLookups&) = delete;
    RepeatedLookups& operator=(const RepeatedLookups&) = delete;
    RepeatedLookups(RepeatedLookups&&) = delete;
    RepeatedLookups& operator=(RepeatedLookups&&) = delete;

    // Path's lstat (NoFollow) or stat: the last answer when Path was this scope's last lookup and
    // it succeeded, a new lookup otherwise. Follows libc: 0, or -1 with errno.
    int Look(const char* Path, struct stat* Info, bool NoFollow);
    // Lookups that went to the file system, for the tests.
    unsigned long Asked() const noexcept { return FAsked; }

    // The scope of the calling thread, if any.
    static RepeatedLookups* OfThisThread() noexcept;

private:
    RepeatedLookups* FOuter;
    std::string FPath;
    // What the last path's lstat and stat found, when known.
    bool FHaveLink = false;
    bool FHaveTarget = false;
    struct stat FLink {};
    struct stat FTarget {};
    unsigned long FAsked = 0;
};

} // namespace Recorder
