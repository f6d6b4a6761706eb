#include "capture_ui/gif_import_progress.h"

#include <QEventLoop>
#include <QTimer>

#include "widgets/progress_window.h"

namespace {

// How often the window looks at the import: well under the 100 ms in which a
// click on Cancel should be answered.
constexpr int kPollMs = 25;

void WaitForEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

GifImportStatus RunGifImportWithProgress(QWidget* owner, GifImportJob& job) {
    const QString title = QStringLiteral("Progress");
    CProgressWindow progress(owner, title);
    progress.BeginModal(title);
    progress.SetMessage(QStringLiteral("Loading..."));
    job.Start();
    bool bounded = false;
    while (job.Status() == GifImportStatus::Running) {
        WaitForEvents(kPollMs);
        if (!bounded && job.Probed()) {
            // One step per frame and one to finish, as far as 100 %.
            progress.SetBounds(0, job.Probe().frameCount + 1, 1);
            bounded = true;
        }
        if (bounded && job.Progress() != progress.Position())
            progress.MoveTo(job.Progress());
        progress.PumpMessages(true);
        if (progress.IsCancelled())
            job.Cancel();
    }
    job.Wait();
    if (job.Status() == GifImportStatus::Loaded)
        progress.Advance();
    progress.Destroy();
    return job.Status();
}
