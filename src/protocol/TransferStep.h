#pragma once

#include <functional>

namespace dravik {

// The blocks of a configuration transfer, in the order a write sends them; a read takes the
// first three, a write's read-back is the last.
enum class TTransferBlock { Mask, Thresholds, Script, Verify };

// Where a transfer stands: the block under way and the attempt of its current exchange
// (1, then 2..5 while it retries).
struct TTransferStep {
    TTransferBlock Block = TTransferBlock::Mask;
    int Attempt = 1;

    bool operator==(const TTransferStep&) const = default;
};

// Told of every block a transfer begins and of every retry; it runs on the transfer's own
// thread, so a window hands it on to its own.
using TTransferProgress = std::function<void(const TTransferStep&)>;

} // namespace dravik
