// The sizes of new discs' sessions measured by earlier estimates, kept in the user's cache
// (XDG_CACHE_HOME, else HOME/.cache: QueltBurner/estimates). A new disc's session depends only on
// the question (its request, its target, the recorder that answers) and on its sources' tree: when
// neither changed (the tree's fingerprint holds every item's name, identity, size and times), the
// size measured before is the answer, without laying the session out again. A cache that cannot be
// read or written is no cache: the question is measured, as without one.
#pragma once

#include "Disc.hpp"
#include "Request.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace Recorder {

class EstimateCache {
public:
    // The cache for this question; none when the user has no cache folder.
    static std::optional<EstimateCache> For(const Request& Ask, const Target& Where,
                                            const MediumState& State);

    // Whether an answer to this question is kept (for any tree): without one, nothing is to be
    // compared, and the tree is not walked before the layout.
    bool Asked() const;
    // The session's blocks measured for the tree whose fingerprint is Tree, if kept.
    std::optional<std::uint64_t> Find(const std::string& Tree) const;
    // Keeps Blocks for this question and Tree, the most recent first; the oldest go past a
    // few dozen questions.
    void Keep(const std::string& Tree, std::uint64_t Blocks) const;

private:
    EstimateCache(std::string File, std::string Question)
        : FFile(std::move(File)), FQuestion(std::move(Question)) {}

    std::string FFile;
    std::string FQuestion;
};

} // namespace Recorder
