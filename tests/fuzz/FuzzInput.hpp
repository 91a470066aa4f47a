// Reads typed values off the front of a fuzzer's input. Running out of bytes is not an error:
// every read then gives zero, so that each input, however short, still decodes to one setting.
#pragma once

#include "System.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace QueltFuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* Data, std::size_t Size) noexcept : FData(Data), FSize(Size) {}

    std::uint8_t Byte() noexcept { return FPos < FSize ? FData[FPos++] : std::uint8_t{0}; }
    bool Bool() noexcept { return (Byte() & 1U) != 0; }
    std::uint16_t U16() noexcept {
        const auto Low = static_cast<unsigned>(Byte());
        const auto High = static_cast<unsigned>(Byte());
        return static_cast<std::uint16_t>(Low | (High << 8U));
    }
    std::uint32_t U32() noexcept {
        const std::uint32_t Low = U16();
        const std::uint32_t High = U16();
        return Low | (High << 16U);
    }
    // A length byte, then that many code units: any UTF-16, NUL and lone surrogates included.
    System::UnicodeString Text() {
        const std::size_t Length = Byte();
        System::UnicodeString Value;
        for (std::size_t I = 0; I < Length && FPos < FSize; ++I) {
            Value.push_back(static_cast<char16_t>(U16()));
        }
        return Value;
    }
    std::size_t Remaining() const noexcept { return FSize - FPos; }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

// The whole input as little-endian code units; an odd last byte is dropped.
inline System::UnicodeString CodeUnits(const std::uint8_t* Data, std::size_t Size) {
    System::UnicodeString Value;
    Value.reserve(Size / 2);
    for (std::size_t I = 0; I + 1 < Size; I += 2) {
        Value.push_back(static_cast<char16_t>(static_cast<unsigned>(Data[I]) |
                                              (static_cast<unsigned>(Data[I + 1]) << 8U)));
    }
    return Value;
}

// Names the broken property and stops the run, so that both libFuzzer and the replay test report
// the input as a failure.
inline void Check(bool Condition, const char* Property) noexcept {
    if (!Condition) {
        std::fprintf(stderr, "property violated: %s\n", Property);
        std::fflush(stderr);
        __builtin_trap();
    }
}

} // namespace QueltFuzz
