// Standard output as the host writes it: through stdio, as std::cout does, keeping the error of the
// first write that failed. The host checks at its end that its output was written; by then errno
// says something else, and stdio has dropped what it could not write, so a second flush cannot
// tell why either.
#pragma once

#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>

namespace Queltburn {

class StandardOutputBuffer : public std::streambuf {
public:
    explicit StandardOutputBuffer(std::FILE* File) noexcept : FFile(File) {}

    // The errno of the first failed write or flush; 0 while none failed (or the system said
    // nothing).
    int Error() const noexcept { return FError; }

protected:
    int_type overflow(int_type Char) override;
    std::streamsize xsputn(const char* Text, std::streamsize Count) override;
    int sync() override;

private:
    void Keep(int Error) noexcept;

    std::FILE* FFile;
    bool FFailed = false;
    int FError = 0;
};

// Why Out could not be written, when its buffer kept the error ("No space left on device"); empty
// otherwise.
std::string WriteErrorOf(const std::ostream& Out);

} // namespace Queltburn
