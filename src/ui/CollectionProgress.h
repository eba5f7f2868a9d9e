#pragma once

#include "ui/CommandContext.h"

// Shows the progress bar beside the status text for the length of a long device-link call (a
// collection of records or of the roster), fed by the link's progress reports through the runner.
// Construct it right before the call; it hides the bar and unhooks the link when it goes.
class CollectionProgress {
public:
    explicit CollectionProgress(const CommandContext &ctx);
    ~CollectionProgress();

    CollectionProgress(const CollectionProgress &) = delete;
    CollectionProgress &operator=(const CollectionProgress &) = delete;

private:
    const CommandContext &ctx_;
};
