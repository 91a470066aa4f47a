#include "TestFiles.hpp"

#include <cstdlib>

namespace QueltTest {

// _putenv_s changes the C runtime's copy and the process's own, which started tools inherit; an
// empty value removes the variable.
ScopedEnv::ScopedEnv(std::string Name, const std::optional<std::string>& Value)
    : FName(std::move(Name)) {
    if (const char* Old = std::getenv(FName.c_str())) {
        FOld = Old;
    }
    _putenv_s(FName.c_str(), Value ? Value->c_str() : "");
}

ScopedEnv::~ScopedEnv() {
    _putenv_s(FName.c_str(), FOld ? FOld->c_str() : "");
}

} // namespace QueltTest
