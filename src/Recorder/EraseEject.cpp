// Erase and eject: what each means is the disc's (a virtual disc is emptied and has no tray).
#include "Writers.hpp"

namespace Recorder {

void EraseDisc(const WriteContext& Context) {
    Context.Report.Begin("erasing");
    Context.Disc.Erase(Context.Ask, Context.Report);
}

void EjectDisc(const WriteContext& Context) {
    Context.Disc.Eject(Context.Report);
}

} // namespace Recorder
