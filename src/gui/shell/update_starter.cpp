#include "gui/shell/update_starter.h"

#include <QObject>

#include "core/net/update_checker.h"
#include "core/platform/program_folder.h"
#include "gui/app/application.h"
#include "gui/shell/main_frame.h"

namespace quillon {

namespace {

std::chrono::milliseconds& StartDelay() {
    static std::chrono::milliseconds delay = UpdateWorker::kStartDelay;
    return delay;
}

// Ties the worker's life to the frame's: the frame's destruction deletes
// its children, and this one's destructor stops and joins the thread before
// anything it could call back into is gone.
class UpdateWorkerHost final : public QObject {
public:
    explicit UpdateWorkerHost(QObject* parent) : QObject(parent) {
        setObjectName(QStringLiteral("updateWorker"));
    }
    ~UpdateWorkerHost() override { worker_.Stop(); }
    UpdateWorker& worker() { return worker_; }

private:
    UpdateWorker worker_;
};

}  // namespace

void SetUpdateStartDelay(std::chrono::milliseconds delay) { StartDelay() = delay; }

void StartUpdateThread(CMainFrame* frame) {
    if (!frame) return;
    auto* host = new UpdateWorkerHost(frame);
    // PostSearchEntryReload only queues the timer's start to the interface
    // thread, which is what a worker may do.
    host->worker().Start(GetProgramFolder(), kVersionNumber, StartDelay(),
                         &CMainFrame::PostSearchEntryReload);
}

}  // namespace quillon
