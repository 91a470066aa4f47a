// The one loop every writer's steps run in: the order of the checks before writing is kept here,
// and nowhere else.
#include "Writers.hpp"

namespace Recorder {

void RunWrite(Writer Make, const WriteContext& Context) {
    const std::unique_ptr<WriteSteps> Steps = Make(Context);
    const std::optional<Acquiring> How = Steps->How();
    if (!How) {
        Steps->Write(MediumState{});
        return;
    }
    Context.Report.Begin("preparing");
    const MediumState State = Context.Disc.Acquire(Context.Report, *How);
    Steps->CheckSources(State);
    Steps->CheckFit(State);
    Steps->CheckMedium(State);
    Steps->Prepare();
    Context.Report.End();
    Steps->Write(State);
    Steps->Verify();
    Steps->Finish();
}

} // namespace Recorder
