#include "install/retrieval_queue.h"

#include <algorithm>

namespace zunor {

RetrievalQueue::RetrievalQueue(std::size_t files) : fraction_(files, 0.0), ended_(files, false) {}

std::optional<std::size_t> RetrievalQueue::NextToStart(std::size_t connections) {
    if (started_ == ended_.size() || running_ >= connections) {
        return std::nullopt;
    }
    ++running_;
    return started_++;
}

void RetrievalQueue::Ended(std::size_t file) {
    if (file >= started_ || ended_[file]) {
        return;
    }
    ended_[file] = true;
    --running_;
    Progress(file, 1.0);
}

std::optional<std::size_t> RetrievalQueue::NextToFinish() {
    if (finished_ == ended_.size() || !ended_[finished_]) {
        return std::nullopt;
    }
    return finished_++;
}

void RetrievalQueue::Progress(std::size_t file, double fraction) {
    if (file >= fraction_.size() || !(fraction > fraction_[file])) {
        return;
    }
    fraction = std::min(fraction, 1.0);
    sum_ += fraction - fraction_[file];
    fraction_[file] = fraction;
}

double RetrievalQueue::Fill() const {
    if (fraction_.empty()) {
        return 0.0;
    }
    return std::min(1.0, sum_ / static_cast<double>(fraction_.size()));
}

} // namespace zunor
