#include "StandardOutput.hpp"

#include <cerrno>
#include <cstring>
#include <string>

namespace Queltburn {

void StandardOutputBuffer::Keep(int Error) noexcept {
    // Only the first: a later failure may be no more than a consequence of it.
    if (!FFailed) {
        FFailed = true;
        FError = Error;
    }
}

StandardOutputBuffer::int_type StandardOutputBuffer::overflow(int_type Char) {
    if (traits_type::eq_int_type(Char, traits_type::eof())) {
        return traits_type::not_eof(Char);
    }
    if (std::fputc(traits_type::to_char_type(Char), FFile) == EOF) {
        Keep(errno);
        return traits_type::eof();
    }
    return Char;
}

std::streamsize StandardOutputBuffer::xsputn(const char* Text, std::streamsize Count) {
    const std::size_t Written = std::fwrite(Text, 1, static_cast<std::size_t>(Count), FFile);
    if (Written != static_cast<std::size_t>(Count)) {
        Keep(errno);
    }
    return static_cast<std::streamsize>(Written);
}

int StandardOutputBuffer::sync() {
    const bool Flushed = std::fflush(FFile) == 0;
    const int Error = errno;
    // A write of the same FILE that failed elsewhere (stdio drops what it could not write, so the
    // flush finds nothing left) counts too; its errno is not known here.
    if (Flushed && std::ferror(FFile) == 0) {
        return 0;
    }
    Keep(Flushed ? 0 : Error);
    return -1;
}

std::string WriteErrorOf(const std::ostream& Out) {
    const auto* Buffer = dynamic_cast<const StandardOutputBuffer*>(Out.rdbuf());
    return Buffer != nullptr && Buffer->Error() != 0 ? std::strerror(Buffer->Error())
                                                     : std::string();
}

} // namespace Queltburn
