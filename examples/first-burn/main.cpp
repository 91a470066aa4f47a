// Writes the files and folders named on the command line to a data disc in drive E.
#include <QueltBurner.hpp>
#include <System.SysUtils.hpp>

#include <iostream>

int main(int Argc, char* Argv[]) {
    using System::Sysutils::UTF8Encode;
    Queltburner::TQueltBurner Burner(nullptr); // finds NeroCmd.exe through the registry
    Burner.SetSynchronous(true);               // wait for the tool, then fire an event
    Burner.SetVolumeLabel(u"FIRST");
    for (int Index = 1; Index < Argc; ++Index) { // a file name is any bytes: all of them kept
        Burner.Files()->Add(System::Sysutils::FileNameToString(Argv[Index]));
    }
    Burner.SetOnSuccess([](System::TObject*) { std::cout << "burned\n"; });
    Burner.SetOnError([](System::TObject*, int Code) { std::cout << "failed: " << Code << "\n"; });
    const int Result = Burner.BurnData(u'E');
    std::cout << "result " << Result << ": " << UTF8Encode(Burner.ResultMeaning(Result)) << "\n";
    return Result == Queltburner::ResultSuccess ? 0 : 1;
}
