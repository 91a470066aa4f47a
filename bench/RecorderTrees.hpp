// The trees the recorder's benchmarks write, made once in the work folder, and a way to run in a
// folder: what the data-disc benchmarks and those against the peers share.
#pragma once

#include "RecorderBenchSupport.hpp"

#include <filesystem>
#include <vector>

namespace RecorderBench {

// 100 files of 5 MB (incompressible).
const fs::path& LargeTree();
// The large tree's 100 files, as a front end passes a selection.
std::vector<fs::path> LargeEntries();
// Count small files of 100 bytes, in folders of 1,000.
fs::path SmallTree(int Count);
// Count small files in one folder, named by number.
fs::path EntryFolder(int Count);
// Count files of 0 to 3,000 bytes in 600 folders of 100, 10 groups of 60: what an estimate of a
// large selection walks.
fs::path EstimateTree(int Count);

// Runs in Folder, so that 100,000 entries fit the kernel's argument limit as short names.
class InFolder {
public:
    explicit InFolder(const fs::path& Folder) : FBack(fs::current_path()) {
        fs::current_path(Folder);
    }
    ~InFolder() { fs::current_path(FBack); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;
    InFolder(InFolder&&) = delete;
    InFolder& operator=(InFolder&&) = delete;

private:
    fs::path FBack;
};

} // namespace RecorderBench
