#include "ReadMeter.hpp"

#include "FileDescriptor.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <string_view>

namespace Recorder {

ReadMeter::ReadMeter(Progress& Report, std::uint64_t ExpectedBytes)
    : FReport(Report), FStart(BytesRead()), FExpected(ExpectedBytes) {}

void ReadMeter::Tick() {
    const std::uint64_t Now = BytesRead();
    const std::uint64_t Done = Now > FStart ? Now - FStart : 0;
    if (FExpected > 0) {
        FReport.Update(Done, FExpected);
    }
}

std::uint64_t ReadMeter::BytesRead() {
    const FileDescriptor File(::open("/proc/self/io", O_RDONLY | O_CLOEXEC));
    std::array<char, 512> Buffer{};
    const ssize_t Got = File.Get() < 0 ? -1 : ::read(File.Get(), Buffer.data(), Buffer.size());
    if (Got <= 0) {
        return 0;
    }
    const std::string_view Text(Buffer.data(), static_cast<std::size_t>(Got));
    constexpr std::string_view Key = "rchar: ";
    const std::size_t At = Text.find(Key);
    std::uint64_t Value = 0;
    if (At != std::string_view::npos) {
        const char* First = Text.data() + At + Key.size();
        (void)std::from_chars(First, Text.data() + Text.size(), Value);
    }
    return Value;
}

} // namespace Recorder
