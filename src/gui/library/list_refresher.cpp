#include "gui/library/list_refresher.h"

#include <utility>

namespace quillon {

ListRefresher::ListRefresher(Apply apply, QObject* parent) : QObject(parent), apply_(std::move(apply)) {}

ListRefresher::~ListRefresher() {
    if (cancel_) cancel_->store(true);
    // The worker's last act is posting to this object, which is still whole
    // here; Qt drops that event when the object goes.
    if (worker_.joinable()) worker_.join();
}

void ListRefresher::Request(Job job) {
    if (!job) return;
    if (running_) {
        pending_ = std::move(job);
        cancel_->store(true);
        return;
    }
    Start(std::move(job));
}

void ListRefresher::Start(Job job) {
    // The previous worker has posted its rows and is ending.
    if (worker_.joinable()) worker_.join();
    running_ = true;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    worker_ = std::thread([this, job = std::move(job), cancel = cancel_] {
        auto rows = std::make_shared<std::vector<ShelfRow>>(job(*cancel));
        QMetaObject::invokeMethod(this, [this, rows] { Finished(rows); }, Qt::QueuedConnection);
    });
}

void ListRefresher::Finished(std::shared_ptr<std::vector<ShelfRow>> rows) {
    running_ = false;
    if (pending_) {
        Job next = std::move(pending_);
        pending_ = nullptr;
        Start(std::move(next));
        return;
    }
    apply_(std::move(*rows));
    emit refreshed();
}

}  // namespace quillon
