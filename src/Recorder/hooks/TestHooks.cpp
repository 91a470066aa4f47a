// The hooks of the recorder the tests build (see TestHooks.hpp).
#include "TestHooks.hpp"

#include "ExternalProgram.hpp"
#include "FileDescriptor.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace Recorder::TestHooks {

namespace {

const char* Setting(const char* Variable) {
    const char* Value = std::getenv(Variable);
    return Value != nullptr && *Value != '\0' ? Value : nullptr;
}

} // namespace

// Runs the program QUELT_RECORDER_TEST_BEFORE_WRITE names, if any, and waits for it.
void BeforeWrite() {
    if (const char* Program = Setting("QUELT_RECORDER_TEST_BEFORE_WRITE")) {
        (void)RunProgram(ProgramRun{{Program}, -1, {}, {}});
    }
}

// Flips the first byte of the text QUELT_RECORDER_TEST_CORRUPT names, where it first occurs in
// the image.
void CorruptWritten(const std::string& Image) {
    const char* Marker = Setting("QUELT_RECORDER_TEST_CORRUPT");
    if (Marker == nullptr) {
        return;
    }
    const FileDescriptor File(::open(Image.c_str(), O_RDWR | O_CLOEXEC));
    const std::string_view Wanted(Marker);
    std::vector<char> Block(1 << 20);
    if (File.Get() < 0 || Wanted.size() >= Block.size()) {
        return;
    }
    for (off_t At = 0;;) {
        const ssize_t Got = ::pread(File.Get(), Block.data(), Block.size(), At);
        if (Got <= 0) {
            return;
        }
        const std::string_view Chunk(Block.data(), static_cast<std::size_t>(Got));
        if (const std::size_t Found = Chunk.find(Wanted); Found != std::string_view::npos) {
            const char Flipped = static_cast<char>(~Chunk[Found]);
            (void)::pwrite(File.Get(), &Flipped, 1, At + static_cast<off_t>(Found));
            return;
        }
        if (Chunk.size() < Block.size()) {
            return; // the end of the image
        }
        // The next block overlaps this one, so that a marker across the boundary is seen whole.
        At += Got - static_cast<off_t>(Wanted.size() - 1);
    }
}

} // namespace Recorder::TestHooks
