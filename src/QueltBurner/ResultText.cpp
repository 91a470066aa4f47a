// What each result code of an operation means, for the messages and logs of the component's users.
#include "QueltBurner.hpp"

#include "System.SysUtils.hpp"

namespace Queltburner {

System::UnicodeString ResultText(int Result) {
    switch (Result) {
    case ResultSuccess:
        return u"success";
    case ResultToolFailed:
        return u"the tool was not found or could not be run";
    case ResultNotOpticalDrive:
        return u"the drive is not an optical drive";
    case ResultImageNotFound:
        return u"the image file was not found";
    case ResultCancelled:
        return u"the run was cancelled";
    case ResultTimedOut:
        return u"the run took longer than its time limit";
    case ResultNotAvailable:
        return u"the host cannot answer this question";
    default:
        return u"the tool ended with exit code " + System::IntToStr(Result);
    }
}

} // namespace Queltburner
