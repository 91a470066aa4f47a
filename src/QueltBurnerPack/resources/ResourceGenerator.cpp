// quelt_resgen: writes the package's Windows resources from their descriptions.
//
//   quelt_resgen <resources-source-dir> <output-dir>
//
// reads PackageInfo.txt, PaletteBitmap.txt and MainIcon.txt from the source folder and writes the
// RCDATA files, TQUELTBURNER.bmp, MAINICON.ico and QueltBurnerPack.rc into the output folder. A
// description it cannot use ends it with a message naming the file and line, and exit status 1.
// It runs on the build machine, so it uses nothing but the standard library.
#include "ResourceDescriptions.hpp"
#include "ResourceEncoders.hpp"

#include <exception>
#include <fstream>
#include <iostream>

namespace {

using namespace QueltResources;

void Write(const std::filesystem::path& File, const std::string& Text) {
    std::ofstream Out(File, std::ios::binary | std::ios::trunc);
    Out.write(Text.data(), static_cast<std::streamsize>(Text.size()));
    if (!Out.flush()) {
        throw std::runtime_error(File.string() + ": cannot be written");
    }
}

void Write(const std::filesystem::path& File, const Bytes& Content) {
    Write(File, std::string(Content.begin(), Content.end()));
}

void Generate(const std::filesystem::path& Source, const std::filesystem::path& Output) {
    // Everything is read and checked before anything is written, so that a bad description never
    // leaves half a set of resources behind.
    const PackageDescription Package = ReadPackageDescription(Source / "PackageInfo.txt");
    const Picture Palette = ReadPicture(Source / "PaletteBitmap.txt", {16, 16, 256, false});
    const Picture Icon = ReadPicture(Source / "MainIcon.txt", {32, 32, 16, true});

    std::filesystem::create_directories(Output);
    const std::filesystem::path Dir = std::filesystem::absolute(Output).lexically_normal();
    Write(Dir / "DESCRIPTION.bin", EncodeDescription(Package.Description));
    Write(Dir / "PACKAGEINFO.bin", EncodePackageInfo(Package));
    Write(Dir / "PACKAGEOPTIONS.bin", EncodePackageOptions(Package));
    Write(Dir / "PLATFORMTARGETS.bin", EncodePlatformTargets(Package));
    Write(Dir / "TQUELTBURNER.bmp", EncodeBitmapFile(Palette));
    Write(Dir / "MAINICON.ico", EncodeIconFile(Icon));
    Write(Dir / "QueltBurnerPack.rc", ResourceScript(Package, Dir));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: quelt_resgen <resources-source-dir> <output-dir>\n";
        return 2;
    }
    try {
        Generate(argv[1], argv[2]);
    } catch (const std::exception& Error) {
        std::cerr << "quelt_resgen: " << Error.what() << '\n';
        return 1;
    }
    return 0;
}
