#pragma once
// A large file fetched over several connections at once. Its first request asked for the file's
// first range only (the answer told its length and version); the rest is handed out as ranges, each
// a request of its own with Range and If-Range, to the connections that have no whole file to fetch
// and to the first stream's once its range is in. No request is ever given up half-way. Every range
// is written at its offset into the file's one temporary file and hashed as the ranges in front of
// it are in; the file is committed once every range is in. An answer of another version, another
// length or a whole body (200) to a range makes the file one stream again.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/transfer_options.h"
#include "common/transfer_result.h"
#include "download/http_request.h"
#include "download/part_file.h"
#include "download/sha256.h"

namespace modSetup::detail {

class RangedFile {
public:
    // The first stream brings [0, firstEnd) of total bytes of the version named by validator.
    RangedFile(std::wstring url, PartFile& part, std::uint64_t firstEnd, std::uint64_t total,
               std::wstring validator, const zunor::TransferOptions& options);
    RangedFile(const RangedFile&) = delete;
    RangedFile& operator=(const RangedFile&) = delete;

    // The first stream has written [0, pos), `added` of it just now.
    void Advance(std::uint64_t pos, std::uint64_t added);
    // A range has failed for good, or the file must start over: the first stream stops too.
    bool Failed() const { return failure_.load() || restart_.load(); }
    // An idle connection's share: takes one range. Never throws; false when there was none to take
    // or the file has failed (the offer is then done with).
    bool Help();
    // Once the first stream has ended with first: the file's result when every range is in (the file
    // committed) or one failed; nothing when it must start over as one stream. A first stream that
    // broke is taken up again from its last byte like any other range.
    std::optional<zunor::TransferResult> Finish(zunor::TransferResult first);
    // Stops the other connections and waits for them; nothing more is taken from the file.
    void Close();

private:
    enum class Outcome { Done, Stopped, Failed, Changed };
    struct Range {
        std::uint64_t start = 0;
        std::uint64_t pos = 0; // written up to here
        std::uint64_t limit = 0;
        int breaks = 0;     // how often its requests broke off so far
        bool taken = false; // a connection is on it
    };
    bool Stopping() const;
    std::optional<std::size_t> Take();
    void TakeRanges();
    Outcome FetchRange(std::size_t range);
    Outcome ReceiveRange(std::size_t range, HINTERNET request, zunor::TransferResult& result);
    void Report(std::uint64_t added);
    void HashWhatIsIn();
    void Fail(const zunor::TransferResult& result);

    const std::wstring url_;
    PartFile& part_;
    const std::uint64_t total_;
    const std::wstring validator_;
    const zunor::TransferOptions options_;
    const std::uint64_t minPiece_;
    const std::uint64_t maxPiece_;

    std::mutex lock_;
    std::mutex reporting_;
    std::condition_variable changed_;
    std::vector<Range> ranges_; // in the order of the file; [0] is the first stream's
    std::uint64_t next_ = 0;    // the first byte not handed out yet
    int active_ = 0;            // connections inside Help or Finish
    bool closed_ = false;
    std::optional<zunor::TransferResult> failed_;

    // Hashed in file order as the ranges are in, by one connection at a time, read back from the file
    // (the system's cache holds what was just written).
    std::unique_ptr<Sha256> hash_;
    std::uint64_t hashedUpTo_ = 0;
    bool hashing_ = false;

    std::atomic<bool> failure_{false};
    std::atomic<bool> restart_{false};
    std::atomic<bool> stop_{false};
    std::uint64_t received_ = 0;          // written, over all ranges (under reporting_)
    std::atomic<std::uint64_t> bytes_{0}; // body bytes of the range requests
    std::atomic<int> requests_{0};        // the range requests
};

} // namespace modSetup::detail
