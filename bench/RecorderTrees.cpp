#include "RecorderTrees.hpp"

#include <fstream>
#include <random>
#include <string>

namespace RecorderBench {

const fs::path& LargeTree() {
    static const fs::path Tree = [] {
        fs::path Made = WorkFolder() / "large";
        fs::create_directories(Made);
        std::mt19937_64 Random(42);
        for (int I = 0; I < 100; ++I) {
            WriteRandomFile(Made / (std::string("file") + std::to_string(I) + ".bin"), 5'000'000,
                            Random);
        }
        return Made;
    }();
    return Tree;
}

fs::path SmallTree(int Count) {
    fs::path Made = WorkFolder() / (std::string("small") + std::to_string(Count));
    if (fs::exists(Made)) {
        return Made;
    }
    const std::string Content(100, 'x');
    for (int I = 0; I < Count; ++I) {
        const fs::path Folder = Made / (std::string("d") + std::to_string(I / 1000));
        if (I % 1000 == 0) {
            fs::create_directories(Folder);
        }
        std::ofstream(Folder / (std::string("f") + std::to_string(I) + ".txt")) << Content;
    }
    return Made;
}

std::vector<fs::path> LargeEntries() {
    std::vector<fs::path> Entries;
    for (const auto& Item : fs::directory_iterator(LargeTree())) {
        Entries.push_back(Item.path());
    }
    return Entries;
}

fs::path EntryFolder(int Count) {
    fs::path Made = WorkFolder() / (std::string("entries") + std::to_string(Count));
    if (!fs::exists(Made)) {
        fs::create_directories(Made);
        for (int I = 0; I < Count; ++I) {
            std::ofstream(Made / std::to_string(I)) << "entry " << I;
        }
    }
    return Made;
}

fs::path EstimateTree(int Count) {
    fs::path Made = WorkFolder() / (std::string("estimate") + std::to_string(Count));
    if (fs::exists(Made)) {
        return Made;
    }
    for (int I = 0; I < Count; ++I) {
        const fs::path Folder = Made / (std::string("g") + std::to_string(I / 6000)) /
                                (std::string("d") + std::to_string(I / 100));
        if (I % 100 == 0) {
            fs::create_directories(Folder);
        }
        std::ofstream(Folder / (std::string("f") + std::to_string(I) + ".dat"))
            << std::string(static_cast<std::size_t>(I % 3000), 'y');
    }
    return Made;
}

} // namespace RecorderBench
