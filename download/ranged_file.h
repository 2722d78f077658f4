#pragma once
// A large file fetched over several connections at once. Its first stream (the GET that found it
// large) owns the range from byte 0; an idle connection takes the second half of the largest range
// still on its way (with Range and If-Range) where the stream is slow enough for that to pay, and its
// owner stops where that begins. Every range is
// written at its offset into the file's one temporary file. The file is committed once every range
// is in, hashed whole where a digest is expected; an answer of another version, another length or a
// whole body (200) to a range makes it one stream again.
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
#include "download/range_split.h"
#include "download/sha256.h"

namespace modSetup::detail {

class RangedFile {
public:
    RangedFile(std::wstring url, PartFile& part, std::uint64_t total, std::wstring validator,
               const zunor::TransferOptions& options);
    RangedFile(const RangedFile&) = delete;
    RangedFile& operator=(const RangedFile&) = delete;

    // The first stream has written [0, pos), `added` of it just now; returns where it must stop.
    std::uint64_t Advance(std::uint64_t pos, std::uint64_t added);
    // A range has failed for good, or the file must start over: the first stream stops too.
    bool Failed() const { return failure_.load() || restart_.load(); }
    // The first stream has ended, where it had to stop or at the end. True when other connections
    // hold ranges of the file (Finish puts it together); false when it is the whole file, and no
    // range will be taken from it any more. hash: what the first stream hashed of [0, pos).
    bool Shared(std::unique_ptr<Sha256> hash);
    // An idle connection's share: takes ranges until none is left worth taking. Never throws.
    bool Help();
    // Once the first stream has ended with first: the file's result when every range is in (the file
    // committed) or one failed; nothing when it must start over as one stream.
    std::optional<zunor::TransferResult> Finish(zunor::TransferResult first);
    // Stops the other connections and waits for them; nothing more is taken from the file.
    void Close();

private:
    enum class Outcome { Done, Stopped, Failed, Changed };
    bool Stopping() const;
    bool WorthSharing();
    bool Matches(HINTERNET request, std::uint64_t first, std::uint64_t last) const;
    void TakeShares();
    Outcome FetchRange(std::size_t range, OpenRequest opened);
    Outcome ReceiveRange(std::size_t range, HINTERNET request, zunor::TransferResult& result);
    void Report(std::uint64_t added);

    const std::wstring url_;
    PartFile& part_;
    const std::uint64_t total_;
    const std::wstring validator_;
    const zunor::TransferOptions options_;
    const std::uint64_t minShare_;

    std::mutex lock_;
    std::mutex reporting_;
    std::condition_variable changed_;
    std::vector<FileRange> ranges_; // [0] is the first stream's
    int active_ = 0;                // connections inside Help
    bool closed_ = false;
    bool firstEnded_ = false;
    bool unsplittable_ = false; // the server answered a range with something else than that range
    std::optional<bool> worth_; // the stream's pace asks for ranges; decided once
    unsigned long long started_ = 0;
    std::optional<zunor::TransferResult> failed_;
    std::unique_ptr<Sha256> hash_;
    std::uint64_t hashedUpTo_ = 0;

    std::atomic<bool> failure_{false};
    std::atomic<bool> restart_{false};
    std::atomic<bool> stop_{false};
    std::uint64_t received_ = 0;          // written, over all ranges (under reporting_)
    std::atomic<std::uint64_t> bytes_{0}; // body bytes of the other connections' requests
    std::atomic<int> requests_{0};        // the other connections' requests
};

} // namespace modSetup::detail
