#include "Fingerprint.hpp"

#include <cstdint>
// libisofs.h needs the fixed-width types first.
#include <libisofs/libisofs.h>

#include <array>
#include <new>
#include <utility>

namespace Recorder {

Fingerprint::Fingerprint() {
    if (iso_md5_start(&FContext) <= 0) {
        throw std::bad_alloc();
    }
}

Fingerprint::~Fingerprint() {
    if (FContext != nullptr) {
        std::array<char, 16> Ignored{};
        (void)iso_md5_end(&FContext, Ignored.data());
    }
}

Fingerprint::Fingerprint(Fingerprint&& Other) noexcept
    : FContext(std::exchange(Other.FContext, nullptr)) {}

Fingerprint& Fingerprint::operator=(Fingerprint&& Other) noexcept {
    std::swap(FContext, Other.FContext);
    return *this;
}

void Fingerprint::AddBytes(const void* Bytes, std::size_t Size) {
    // libisofs only reads the data it is given.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
    (void)iso_md5_compute(FContext, static_cast<char*>(const_cast<void*>(Bytes)),
                          static_cast<int>(Size));
}

void Fingerprint::Add(std::string_view Text) {
    const std::uint64_t Size = Text.size();
    AddBytes(&Size, sizeof(Size));
    AddBytes(Text.data(), Text.size());
}

void Fingerprint::Add(const struct stat& Info) {
    const std::array<std::int64_t, 9> Fields{static_cast<std::int64_t>(Info.st_mode),
                                             static_cast<std::int64_t>(Info.st_dev),
                                             static_cast<std::int64_t>(Info.st_ino),
                                             static_cast<std::int64_t>(Info.st_size),
                                             Info.st_mtim.tv_sec,
                                             Info.st_mtim.tv_nsec,
                                             Info.st_ctim.tv_sec,
                                             Info.st_ctim.tv_nsec,
                                             static_cast<std::int64_t>(Info.st_nlink)};
    AddBytes(Fields.data(), sizeof(Fields));
}

std::string Fingerprint::Finish() {
    std::array<char, 16> Digest{};
    if (FContext == nullptr || iso_md5_end(&FContext, Digest.data()) <= 0) {
        return {};
    }
    FContext = nullptr;
    static constexpr char Digits[] = "0123456789abcdef";
    std::string Text;
    for (const char Byte : Digest) {
        const auto Value = static_cast<unsigned char>(Byte);
        Text += Digits[Value >> 4U];
        Text += Digits[Value & 15U];
    }
    return Text;
}

} // namespace Recorder
