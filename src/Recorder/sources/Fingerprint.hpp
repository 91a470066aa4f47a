// An MD5 of what a question depends on (a tree's names, identities, sizes and times; a request's
// words), to tell whether it changed since an answer was kept.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace Recorder {

class Fingerprint {
public:
    Fingerprint();
    ~Fingerprint();
    Fingerprint(const Fingerprint&) = delete;
    Fingerprint& operator=(const Fingerprint&) = delete;
    Fingerprint(Fingerprint&& Other) noexcept;
    Fingerprint& operator=(Fingerprint&& Other) noexcept;

    // Text, kept apart from the next (its length goes first).
    void Add(std::string_view Text);
    // What a change of an item shows in: its type and permissions, identity, size and times.
    void Add(const struct stat& Info);
    // The MD5 in hexadecimal; the fingerprint is spent.
    std::string Finish();

private:
    void AddBytes(const void* Bytes, std::size_t Size);

    void* FContext = nullptr;
};

} // namespace Recorder
