// Runs a fuzz target without libFuzzer: every file named on the command line, and every file in
// each directory named there, is fed to the target once. The normal test run uses it to replay the
// committed seed corpus, so that an input which once broke a property keeps being checked.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& Path) {
    std::vector<std::filesystem::path> Inputs;
    if (std::filesystem::is_directory(Path)) {
        for (const auto& Entry : std::filesystem::directory_iterator(Path)) {
            if (Entry.is_regular_file()) {
                Inputs.push_back(Entry.path());
            }
        }
        // A fixed order, so that a failing run names the same file every time.
        std::sort(Inputs.begin(), Inputs.end());
    } else {
        Inputs.push_back(Path);
    }
    return Inputs;
}

} // namespace

int main(int Argc, char** Argv) {
    std::size_t Replayed = 0;
    for (int I = 1; I < Argc; ++I) {
        for (const std::filesystem::path& Input : InputsOf(Argv[I])) {
            std::ifstream File(Input, std::ios::binary);
            if (!File) {
                std::cerr << "cannot read " << Input << "\n";
                return 1;
            }
            const std::vector<char> Bytes{std::istreambuf_iterator<char>(File),
                                          std::istreambuf_iterator<char>()};
            std::cerr << "replaying " << Input << " (" << Bytes.size() << " bytes)\n";
            (void)LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(Bytes.data()),
                                         Bytes.size());
            ++Replayed;
        }
    }
    std::cout << "replayed " << Replayed << " inputs\n";
    // No input at all means a wrong path, not a pass.
    return Replayed == 0 ? 1 : 0;
}
