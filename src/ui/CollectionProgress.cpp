#include "ui/CollectionProgress.h"

#include "link/DeviceLink.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"

#include <QProgressBar>

#include <algorithm>

CollectionProgress::CollectionProgress(const CommandContext &ctx) : ctx_(ctx)
{
    QProgressBar *bar = ctx_.window.StatusProgress;
    if (bar) {
        bar->setRange(0, 0);  // busy until the link says how many records to expect
        bar->show();
    }
    ctx_.runner.setProgressListener([bar](qint64 done, qint64 expected) {
        if (!bar) return;
        if (expected > 0) {
            // The bar counts in int; scale to per mille when the counts could overflow it.
            const bool scaled = expected > 1000000;
            bar->setRange(0, scaled ? 1000 : int(expected));
            bar->setValue(int(scaled ? std::min(done, expected) * 1000 / expected : std::min(done, expected)));
        }
    });
    LinkCallRunner *runner = &ctx_.runner;
    ctx_.link.setProgressHandler([runner](qint64 done, qint64 expected) { runner->forwardProgress(done, expected); });
}

CollectionProgress::~CollectionProgress()
{
    ctx_.link.setProgressHandler({});
    ctx_.runner.setProgressListener({});
    if (ctx_.window.StatusProgress) ctx_.window.StatusProgress->hide();
}
