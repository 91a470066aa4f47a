// Writes the files named on the command line to a data disc in drive E and watches the run: the
// tool's progress, a time limit, and a strict rule that a label cut short (the recorder says so
// in a line of its standard output) cancels the burn before the disc is written. The label is
// "WATCHED", or the one given first as --label TEXT.
#include <QueltBurner.hpp>
#include <System.SysUtils.hpp>

#include <iostream>
#include <string_view>

int main(int Argc, char* Argv[]) {
    using System::Sysutils::UTF8Encode;
    Queltburner::TQueltBurner Burner(nullptr);
    Burner.SetSynchronous(true); // only a waiting run can be watched
    Burner.SetVolumeLabel(u"WATCHED");
    int First = 1;
    if (Argc > 2 && std::string_view(Argv[1]) == "--label") {
        Burner.SetVolumeLabel(System::Sysutils::UTF8ToString(Argv[2]));
        First = 3;
    }
    for (int Index = First; Index < Argc; ++Index) { // file names: any bytes, all kept
        Burner.Files()->Add(System::Sysutils::FileNameToString(Argv[Index]));
    }
    // "preparing", "erasing", "writing", "closing" or "verifying", 0.0 to 100.0.
    Burner.SetOnProgress([](System::TObject*, const System::UnicodeString& Phase, double Percent) {
        std::cout << UTF8Encode(Phase) << " " << Percent << "%\n";
    });
    // Every line the tool writes, progress lines included; IsError for its error stream.
    Burner.SetOnOutput(
        [&Burner](System::TObject*, const System::UnicodeString& Line, bool IsError) {
            if (IsError) {
                std::cout << "tool: " << UTF8Encode(Line) << "\n";
            } else if (Line.starts_with(u"label cut to ")) {
                std::cout << "cancelled: " << UTF8Encode(Line) << "\n";
                Burner.Cancel(); // also allowed from any other thread
            }
        });
    Burner.SetTimeout(30 * 60 * 1000); // milliseconds; 0 (the initial value) is no limit
    const int Result = Burner.BurnData(u'E');
    std::cout << "result " << Result << ": " << UTF8Encode(Burner.ResultMeaning(Result)) << "\n";
    return Result == Queltburner::ResultSuccess ? 0 : 1;
}
