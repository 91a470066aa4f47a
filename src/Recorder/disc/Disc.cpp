#include "Disc.hpp"

#include "DriveDisc.hpp"
#include "LibraryWords.hpp"
#include "RecorderFailure.hpp"
#include "VirtualDisc.hpp"

namespace Recorder {

XorrisoSession& Disc::Session(Progress& Report) {
    if (!FSession) {
        FSession = std::make_unique<XorrisoSession>(Report, Describe());
    }
    return *FSession;
}

XorrisoSession& Disc::Session() {
    if (!FSession) {
        throw RecorderFailure(ExitCode::Write, Describe() + ": the disc was not acquired");
    }
    return *FSession;
}

void Disc::RequireWritable(const Request& Ask, bool Blank) const {
    if (Blank) {
        return;
    }
    if (Ask.DetectNonEmptyDisk) {
        throw RecorderFailure(ExitCode::Medium, Describe() +
                                                    ": the disc is not blank (DetectNonEmptyDisk, "
                                                    "--detect_non_empty_disk)");
    }
    if (!Ask.ForceEraseDisk) {
        throw RecorderFailure(ExitCode::Medium,
                              Describe() + ": the disc is not blank; erase it first with " +
                                  SettingName("--force_erase_disk"));
    }
}

std::unique_ptr<Disc> OpenDisc(const Target& Where, MediumUse Use) {
    if (Where.RealDrive) {
        return std::make_unique<DriveDisc>(Where, Use);
    }
    return std::make_unique<VirtualDisc>(Where, Use);
}

} // namespace Recorder
