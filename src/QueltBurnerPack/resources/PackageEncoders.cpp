// The package's RCDATA resources and the resource script.
#include "ResourceEncoders.hpp"

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
    const auto Version = [&](char Separator) {
        std::ostringstream Text;
        Text << Package.Version[0] << Separator << Package.Version[1] << Separator
             << Package.Version[2] << Separator << Package.Version[3];
        return Text.str();
    };
    const std::string Lines[] = {
        "// Written by quelt_resgen from the package's descriptions; edit those, not this.",
        "",
        "// US English (1033)",
        "LANGUAGE 9, 1",
        "TQUELTBURNER BITMAP " + File("TQUELTBURNER.bmp"),
        "MAINICON ICON " + File("MAINICON.ico"),
        "PLATFORMTARGETS RCDATA " + File("PLATFORMTARGETS.bin"),
        "",
        "1 VERSIONINFO",
        "FILEVERSION " + Version(','),
        "PRODUCTVERSION " + Version(','),
        "FILEFLAGSMASK 0x3F",
        "FILEFLAGS 0x0",
        "FILEOS 0x4",   // VOS__WINDOWS32
        "FILETYPE 0x1", // VFT_APP, as packages have always been marked
        "FILESUBTYPE 0x0",
        "BEGIN",
        R"(  BLOCK "StringFileInfo")",
        "  BEGIN",
        // US English in Windows-1252, as the translation below says.
        R"(    BLOCK "040904E4")",
        "    BEGIN",
        R"(      VALUE "FileVersion", ")" + Version('.') + '"',
        R"(      VALUE "ProductVersion", ")" + Version('.') + '"',
        "    END",
        "  END",
        R"(  BLOCK "VarFileInfo")",
        "  BEGIN",
        R"(    VALUE "Translation", 0x0409, 0x04E4)",
        "  END",
        "END",
        "",
        "// Neutral",
        "LANGUAGE 0, 0",
        "DESCRIPTION RCDATA " + File("DESCRIPTION.bin"),
        "PACKAGEINFO RCDATA " + File("PACKAGEINFO.bin"),
        "PACKAGEOPTIONS RCDATA " + File("PACKAGEOPTIONS.bin"),
    };
    std::string Script;
    for (const std::string& Line : Lines) {
        Script += Line + '\n';
    }
    return Script;
}

} // namespace QueltResources
