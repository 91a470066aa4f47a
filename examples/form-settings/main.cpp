// Loads a burner's settings from the block QueltBurner1 of a form file, as an application built on
// the framework saved them, and prints them back as the framework would store them.
#include <QueltBurner.hpp>
#include <System.Classes.FormText.hpp>
#include <System.Classes.Streaming.hpp>
#include <System.SysUtils.hpp>

#include <fstream>
#include <iostream>
#include <sstream>

int main(int Argc, char* Argv[]) {
    using namespace System::Classes;
    std::ifstream File(Argc == 2 ? Argv[1] : "", std::ios::binary);
    if (!File) {
        std::cerr << "usage: form-settings FORM-FILE\n";
        return 2;
    }
    std::ostringstream Bytes;
    Bytes << File.rdbuf();
    Queltburner::TQueltBurner Burner(nullptr);
    // The methods form data may name for an event, as the form's class would offer them.
    TMethodTable Methods;
    Methods.Add(u"BurnerDone", TNotifyEvent([](System::TObject*) { std::cout << "done\n"; }));
    try {
        ReadComponentFromForm(System::Sysutils::DecodeTextFile(Bytes.str()), u"QueltBurner1",
                              Burner, Methods.Resolver());
    } catch (const EFormTextError& Error) { // the component kept every setting
        std::cerr << Argv[1] << ": " << Error.what() << "\n";
        return 1;
    }
    std::cout << System::Sysutils::UTF8Encode(WriteComponentText(Burner));
    return 0;
}
