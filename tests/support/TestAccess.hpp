// Reaches the component's private helpers from the tests.
#pragma once

#include "QueltBurner.hpp"

namespace Queltburner {

struct TQueltBurnerTestAccess {
    static System::UnicodeString CutFileName(const System::UnicodeString& Path) {
        return TQueltBurner::CutFileName(Path);
    }
    static int BoolToInt(bool Value) { return TQueltBurner::BoolToInt(Value); }
    static int BoolToIntNeg(bool Value) { return TQueltBurner::BoolToIntNeg(Value); }
    static int ExecuteAndWait(TQueltBurner& Burner, const System::UnicodeString& CommandLine,
                              int ShowState) {
        return Burner.ExecuteAndWait(CommandLine, ShowState);
    }
};

} // namespace Queltburner
