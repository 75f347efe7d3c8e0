#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <QObject>

#include "gui/library/file_list_model.h"

namespace quillon {

// Fills one list of the bookshelf from a worker thread.
//
// How overlapping requests are serialised: at most one worker runs per list.
// A request made while a worker runs becomes the pending request, replacing
// any earlier pending one (each listing starts from scratch, so only the
// newest counts), and tells the running worker to stop early. When a worker
// ends, its rows are applied only if nothing was requested meanwhile;
// otherwise they are dropped and the pending request starts. Every one of
// these decisions is taken on the interface thread, which is why no lock is
// needed: the worker only lists and then posts its rows back.
class ListRefresher final : public QObject {
    Q_OBJECT
public:
    // Runs on the worker: lists and builds the rows; may stop early when
    // `cancel` becomes true.
    using Job = std::function<std::vector<ShelfRow>(const std::atomic<bool>& cancel)>;
    // Runs on the interface thread with the rows of the latest request.
    using Apply = std::function<void(std::vector<ShelfRow>)>;

    explicit ListRefresher(Apply apply, QObject* parent = nullptr);
    // Stops and waits for a running worker, so it never outlives the list.
    ~ListRefresher() override;

    void Request(Job job);
    bool IsBusy() const { return running_; }

signals:
    // The latest request's rows have been applied and nothing is pending.
    void refreshed();

private:
    void Start(Job job);
    void Finished(std::shared_ptr<std::vector<ShelfRow>> rows);

    Apply apply_;
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    Job pending_;
    bool running_ = false;
};

}  // namespace quillon
