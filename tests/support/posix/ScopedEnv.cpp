#include "TestFiles.hpp"

#include <cstdlib>

namespace QueltTest {

ScopedEnv::ScopedEnv(std::string Name, const std::optional<std::string>& Value)
    : FName(std::move(Name)) {
    if (const char* Old = std::getenv(FName.c_str())) {
        FOld = Old;
    }
    if (Value) {
        setenv(FName.c_str(), Value->c_str(), 1);
    } else {
        unsetenv(FName.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (FOld) {
        setenv(FName.c_str(), FOld->c_str(), 1);
    } else {
        unsetenv(FName.c_str());
    }
}

} // namespace QueltTest
