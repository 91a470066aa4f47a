// Reading the generated resource files and little-endian fields in the package tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace QueltPackageTest {

using Bytes = std::vector<std::uint8_t>;

// The folder the build generated the resources into.
inline std::filesystem::path GeneratedDir() {
    return QUELT_PACKAGE_RESOURCE_DIR;
}

inline Bytes ReadBytes(const std::filesystem::path& File) {
    std::ifstream In(File, std::ios::binary);
    if (!In) {
        throw std::runtime_error("cannot read " + File.string());
    }
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

inline Bytes Generated(const std::string& Name) {
    return ReadBytes(GeneratedDir() / Name);
}

// Size bytes (1, 2 or 4) at Offset, little-endian; a read past the end fails the test.
inline std::uint32_t Le(const Bytes& Data, std::size_t Offset, std::size_t Size) {
    if (Offset > Data.size() || Data.size() - Offset < Size) {
        throw std::out_of_range("read of " + std::to_string(Size) + " bytes at " +
                                std::to_string(Offset) + " past the end (" +
                                std::to_string(Data.size()) + " bytes)");
    }
    std::uint32_t Value = 0;
    for (std::size_t I = Size; I-- > 0;) {
        Value = (Value << 8U) | Data[Offset + I];
    }
    return Value;
}

} // namespace QueltPackageTest
