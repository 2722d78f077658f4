#pragma once
// The files of a run on their way: started in listing order on up to n connections at once, ended in
// any order, and handed back for their last steps (the report, a component's registration) in listing
// order again. Also the bar's fill over all of them, which only ever grows.
#include <cstddef>
#include <optional>
#include <vector>

namespace zunor {

class RetrievalQueue {
public:
    explicit RetrievalQueue(std::size_t files = 0);

    // The next file in listing order, when one waits and fewer than connections are running; it
    // counts as running from here.
    std::optional<std::size_t> NextToStart(std::size_t connections);
    // The file's transfer has ended (or it needed none).
    void Ended(std::size_t file);
    // The next file in listing order, once its transfer and those of all before it have ended.
    std::optional<std::size_t> NextToFinish();

    bool HasEnded(std::size_t file) const { return file < ended_.size() && ended_[file]; }
    bool AllStarted() const { return started_ == ended_.size(); }
    std::size_t Running() const { return running_; }
    std::size_t Finished() const { return finished_; } // handed back by NextToFinish
    bool Done() const { return finished_ == ended_.size(); }

    // How far a running file's transfer has come, 0 to 1. A transfer that starts over does not take
    // the bar back.
    void Progress(std::size_t file, double fraction);
    // Ended files count whole, running ones by their fraction, as a share of all files.
    double Fill() const;

private:
    std::vector<double> fraction_; // the most seen of each file; 1 once ended
    std::vector<bool> ended_;
    std::size_t started_ = 0;
    std::size_t running_ = 0;
    std::size_t finished_ = 0;
    double sum_ = 0.0;
};

} // namespace zunor
