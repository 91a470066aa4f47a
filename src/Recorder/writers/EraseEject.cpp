// Erase and eject: what each means is the disc's (a virtual disc is emptied and has no tray), which
// checks what it needs itself (a drive's disc must be rewritable to be erased).
#include "Writers.hpp"

namespace Recorder {

namespace {

class EraseSteps final : public WriteSteps {
public:
    using WriteSteps::WriteSteps;
    std::optional<Acquiring> How() const override { return std::nullopt; }
    void Write(const MediumState& /*State*/) override {
        FContext.Report.Begin("erasing");
        FContext.Disc.Erase(FContext.Ask, FContext.Report);
    }
};

class EjectSteps final : public WriteSteps {
public:
    using WriteSteps::WriteSteps;
    std::optional<Acquiring> How() const override { return std::nullopt; }
    void Write(const MediumState& /*State*/) override { FContext.Disc.Eject(FContext.Report); }
};

} // namespace

std::unique_ptr<WriteSteps> EraseDisc(const WriteContext& Context) {
    return std::make_unique<EraseSteps>(Context);
}

std::unique_ptr<WriteSteps> EjectDisc(const WriteContext& Context) {
    return std::make_unique<EjectSteps>(Context);
}

} // namespace Recorder
