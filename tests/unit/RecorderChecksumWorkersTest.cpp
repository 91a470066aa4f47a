// The recorder's iso_md5_* functions, which libisofs and libisoburn reach in its place: the
// digests are libisofs's own whatever the data's size, the pieces it comes in, copies taken
// halfway or other threads hashing at the same time, and data past a chunk goes to the workers.
#include "ChecksumWorkers.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdint>
// libisofs.h needs the fixed-width types first.
#include <libisofs/libisofs.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Hex(const char (&Digest)[16]) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string Text;
    for (const char Byte : Digest) {
        const auto Value = static_cast<unsigned char>(Byte);
        Text += Digits[Value >> 4U];
        Text += Digits[Value & 15U];
    }
    return Text;
}

std::string RandomBytes(std::size_t Size, unsigned Seed) {
    std::mt19937 Random(Seed);
    std::string Bytes(Size, '\0');
    for (char& Byte : Bytes) {
        Byte = static_cast<char>(Random());
    }
    return Bytes;
}

void Add(void* Context, std::string& Data, std::size_t From, std::size_t To, std::size_t Piece) {
    for (std::size_t At = From; At < To; At += Piece) {
        ASSERT_EQ(
            iso_md5_compute(Context, Data.data() + At, static_cast<int>(std::min(Piece, To - At))),
            1);
    }
}

std::string End(void*& Context) {
    char Digest[16] = {};
    EXPECT_EQ(iso_md5_end(&Context, Digest), 1);
    EXPECT_EQ(Context, nullptr);
    return Hex(Digest);
}

// Data hashed through the program's functions, Piece bytes a call.
std::string DigestOf(std::string Data, std::size_t Piece) {
    void* Context = nullptr;
    EXPECT_EQ(iso_md5_start(&Context), 1);
    Add(Context, Data, 0, Data.size(), Piece);
    return End(Context);
}

// The same data hashed by libisofs alone, in one call: the functions behind the program's.
std::string LibraryDigestOf(std::string Data) {
    using Start = int (*)(void**);
    using Compute = int (*)(void*, char*, int);
    using Finish = int (*)(void**, char*);
    // NOLINTBEGIN(cppcoreguidelines-pro-type-reinterpret-cast): dlsym gives functions so
    const auto LibraryStart = reinterpret_cast<Start>(::dlsym(RTLD_NEXT, "iso_md5_start"));
    const auto LibraryCompute = reinterpret_cast<Compute>(::dlsym(RTLD_NEXT, "iso_md5_compute"));
    const auto LibraryEnd = reinterpret_cast<Finish>(::dlsym(RTLD_NEXT, "iso_md5_end"));
    // NOLINTEND(cppcoreguidelines-pro-type-reinterpret-cast)
    void* Context = nullptr;
    char Digest[16] = {};
    EXPECT_EQ(LibraryStart(&Context), 1);
    EXPECT_EQ(LibraryCompute(Context, Data.data(), static_cast<int>(Data.size())), 1);
    EXPECT_EQ(LibraryEnd(&Context, Digest), 1);
    return Hex(Digest);
}

TEST(RecorderChecksums, TheLibrarysCallsReachTheProgramsFunctions) {
    Recorder::RequireLibraryChecksums();
    EXPECT_TRUE(Recorder::ChecksumsReachWorkers());
}

TEST(RecorderChecksums, DigestsAreTheLibrarysWhateverTheSizeAndPieces) {
    // Published MD5 digests first, then sizes around what stays on the caller's thread (64 KiB)
    // and a chunk (256 KiB), in libisofs's 2 KiB blocks and in pieces that cross chunks.
    EXPECT_EQ(DigestOf("", 2048), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(DigestOf("abc", 2048), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(DigestOf("message digest", 1), "f96b697d7cb7938d525a2f31aaf161d0");
    for (const std::size_t Size : {std::size_t{65536}, std::size_t{65537}, std::size_t{262144 + 1},
                                   std::size_t{3 * 262144 + 2048 * 5 + 17}, std::size_t{5000000}}) {
        const std::string Data = RandomBytes(Size, static_cast<unsigned>(Size));
        const std::string Expected = LibraryDigestOf(Data);
        for (const std::size_t Piece :
             {std::size_t{2048}, std::size_t{1000}, std::size_t{300000}}) {
            EXPECT_EQ(DigestOf(Data, Piece), Expected) << Size << " bytes in pieces of " << Piece;
        }
    }
}

// libisofs copies the session's checksum at each of its tags and goes on with the original.
TEST(RecorderChecksums, ACopyTakenHalfwayGoesOnOnItsOwn) {
    std::string Data = RandomBytes(2000000, 1);
    std::string Other = RandomBytes(700000, 2);
    for (const std::size_t Half : {std::size_t{1000}, std::size_t{300000}, std::size_t{1500000}}) {
        void* Original = nullptr;
        ASSERT_EQ(iso_md5_start(&Original), 1);
        Add(Original, Data, 0, Half, 2048);
        void* Copy = nullptr;
        ASSERT_EQ(iso_md5_clone(Original, &Copy), 1);
        Add(Original, Data, Half, Data.size(), 2048);
        Add(Copy, Other, 0, Other.size(), 2048);
        EXPECT_EQ(End(Original), LibraryDigestOf(Data)) << Half;
        EXPECT_EQ(End(Copy), LibraryDigestOf(Data.substr(0, Half) + Other)) << Half;
    }
}

TEST(RecorderChecksums, ThreadsHashingAtOnceGetTheirOwnDigests) {
    constexpr unsigned Threads = 6;
    std::vector<std::string> Data;
    std::vector<std::string> Expected;
    for (unsigned I = 0; I < Threads; ++I) {
        Data.push_back(RandomBytes(1000000 + I * 70000, I));
        Expected.push_back(LibraryDigestOf(Data.back()));
    }
    std::vector<std::string> Got(Threads);
    std::vector<std::thread> Running;
    for (unsigned I = 0; I < Threads; ++I) {
        Running.emplace_back([&, I] { Got[I] = DigestOf(Data[I], 2048); });
    }
    for (std::thread& Thread : Running) {
        Thread.join();
    }
    EXPECT_EQ(Got, Expected);
}

TEST(RecorderChecksums, DataPastAChunkGoesToTheWorkersWhenThereAreAny) {
    const std::uint64_t Before = Recorder::ChecksumChunksHandedOver();
    (void)DigestOf(RandomBytes(4000000, 3), 2048);
    const std::uint64_t HandedOver = Recorder::ChecksumChunksHandedOver() - Before;
    if (Recorder::ChecksumWorkerCount() == 0) {
        EXPECT_EQ(HandedOver, 0U); // a single processor: everything stays on the caller's thread
    } else {
        // All but the first 64 KiB, in chunks of 256 KiB (the last one partly filled).
        EXPECT_EQ(HandedOver, (4000000U - 65536U + 262143U) / 262144U);
    }
}

} // namespace
