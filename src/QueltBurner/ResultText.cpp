// What each result code of an operation means, for the messages and logs of the component's users.
#include "QueltBurner.hpp"

#include "System.SysUtils.hpp"

namespace Queltburner {

namespace {

// The recorder's exit codes, in the words of its contract; nullptr for a code it does not use.
const char16_t* RecorderExitText(int Result) {
    switch (Result) {
    case RecorderCommandLine:
        return u"the recorder refused the command line; nothing was done";
    case RecorderTarget:
        return u"the drive's target cannot be used (unmapped letter, no such device, not a "
               u"drive, no permission, or held by another run)";
    case RecorderMedium:
        return u"the disc cannot take this write (not blank, closed, no such session, or not "
               u"rewritable)";
    case RecorderDoesNotFit:
        return u"the selection does not fit on the disc";
    case RecorderSource:
        return u"an entry cannot be read or decoded";
    case RecorderWrite:
        return u"writing failed or was stopped";
    case RecorderVerify:
        return u"what was read back differs from the source";
    case RecorderNotAvailable:
        return u"the recorder cannot answer this question for this kind of disc";
    default:
        return nullptr;
    }
}

} // namespace

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

System::UnicodeString ResultText(int Result, bool ToolIsRecorder) {
    if (ToolIsRecorder) {
        if (const char16_t* Text = RecorderExitText(Result)) {
            return System::UnicodeString(Text) + u" (recorder exit code " +
                   System::IntToStr(Result) + u")";
        }
    }
    return ResultText(Result);
}

System::UnicodeString TQueltBurner::ResultMeaning(int Result) {
    bool IsRecorder = false;
    // Only a tool's own exit code depends on the tool; a failed identification names the code.
    if (Result > 0) {
        try {
            IsRecorder = FHost->ToolIsRecorder(NeroCmdLocation);
        } catch (const std::exception&) {
            IsRecorder = false;
        }
    }
    return ResultText(Result, IsRecorder);
}

} // namespace Queltburner
