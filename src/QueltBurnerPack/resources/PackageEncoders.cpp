// The package's RCDATA resources and the resource script.
#include "ResourceEncoders.hpp"

#include <algorithm>
#include <sstream>

namespace QueltResources {

namespace {

// Hash byte, name, NUL: how PACKAGEINFO stores every name.
void PutHashedName(Bytes& Out, const std::string& Name) {
    Out.push_back(NameHash(Name));
    Out.insert(Out.end(), Name.begin(), Name.end());
    Out.push_back(0);
}

// One length byte, then the characters; the description reader has kept these to 255 bytes.
void PutShortString(Bytes& Out, const std::string& Text) {
    Out.push_back(static_cast<std::uint8_t>(Text.size()));
    Out.insert(Out.end(), Text.begin(), Text.end());
}

// Resource scripts take C-style string literals.
std::string Quoted(const std::filesystem::path& Path) {
    std::string Result = "\"";
    for (const char C : Path.generic_string()) {
        if (C == '\\' || C == '"') {
            Result += '\\';
        }
        Result += C;
    }
    return Result + '"';
}

} // namespace

Bytes EncodePackageInfo(const PackageDescription& Package) {
    Bytes Out;
    Put32(Out, Package.Flags);
    Put32(Out, static_cast<std::uint32_t>(Package.Requires.size()));
    for (const std::string& Name : Package.Requires) {
        PutHashedName(Out, Name);
    }
    Put32(Out, static_cast<std::uint32_t>(Package.Units.size()));
    for (const PackageUnit& Unit : Package.Units) {
        Out.push_back(Unit.Flags);
        PutHashedName(Out, Unit.Name);
    }
    PutHashedName(Out, Package.PackageName);
    Out.resize((Out.size() + 3) / 4 * 4, 0);
    return Out;
}

Bytes EncodePackageOptions(const PackageDescription& Package) {
    Bytes Out(Package.Options);
    PutShortString(Out, Package.Defines);
    PutShortString(Out, Package.Aliases);
    PutShortString(Out, Package.Description);
    return Out;
}

Bytes EncodeDescription(const std::string& Text) {
    Bytes Out;
    for (const char C : Text) {
        Put16(Out, static_cast<unsigned char>(C));
    }
    Put16(Out, 0);
    return Out;
}

Bytes EncodePlatformTargets(const PackageDescription& Package) {
    Bytes Out;
    Put16(Out, Package.Platforms);
    return Out;
}

std::string ResourceScript(const PackageDescription& Package,
                           const std::filesystem::path& OutputDir) {
    const auto File = [&](const char* Name) { return Quoted(OutputDir / Name); };
    std::ostringstream Version;
    Version << Package.Version[0] << ',' << Package.Version[1] << ',' << Package.Version[2] << ','
            << Package.Version[3];
    std::string Dotted = Version.str();
    std::replace(Dotted.begin(), Dotted.end(), ',', '.');

    std::ostringstream Rc;
    Rc << "// Written by quelt_resgen from the package's descriptions; edit those, not this.\n\n"
       << "// US English (1033)\nLANGUAGE 9, 1\n"
       << "TQUELTBURNER BITMAP " << File("TQUELTBURNER.bmp") << '\n'
       << "MAINICON ICON " << File("MAINICON.ico") << '\n'
       << "PLATFORMTARGETS RCDATA " << File("PLATFORMTARGETS.bin") << "\n\n"
       // File OS 4: VOS__WINDOWS32. File type 1: VFT_APP, as packages have always been marked.
       << "1 VERSIONINFO\nFILEVERSION " << Version.str() << "\nPRODUCTVERSION " << Version.str()
       << "\nFILEFLAGSMASK 0x3F\nFILEFLAGS 0x0\nFILEOS 0x4\nFILETYPE 0x1\nFILESUBTYPE 0x0\n"
       << "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904E4\"\n    BEGIN\n"
       << "      VALUE \"FileVersion\", \"" << Dotted << "\"\n"
       << "      VALUE \"ProductVersion\", \"" << Dotted << "\"\n"
       << "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n"
       << "    VALUE \"Translation\", 0x0409, 0x04E4\n  END\nEND\n\n"
       << "// Neutral\nLANGUAGE 0, 0\n"
       << "DESCRIPTION RCDATA " << File("DESCRIPTION.bin") << '\n'
       << "PACKAGEINFO RCDATA " << File("PACKAGEINFO.bin") << '\n'
       << "PACKAGEOPTIONS RCDATA " << File("PACKAGEOPTIONS.bin") << '\n';
    return Rc.str();
}

} // namespace QueltResources
