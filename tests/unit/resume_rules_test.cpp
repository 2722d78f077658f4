// When a broken transfer is taken up again, and the header values that decide it.
#include <gtest/gtest.h>

#include "download/range_split.h"
#include "download/resume_rules.h"

namespace modSetup {
namespace {

using zunor::TransferError;
using zunor::TransferResult;

TransferResult Failed(TransferError error) {
    TransferResult result;
    result.error = error;
    result.status = 200;
    return result;
}

ResumePoint BrokenAt(std::uint64_t offset, std::uint64_t total = 1000) {
    ResumePoint point;
    point.bodyBroke = true;
    point.offset = offset;
    point.total = total;
    point.rangesAccepted = true;
    point.validator = L"\"v1\"";
    return point;
}

TEST(AfterFailure, BrokenBodyIsResumedWhereTheServerAllowsItAndRestartedOtherwise) {
    EXPECT_EQ(AfterFailure(Failed(TransferError::ConnectionLost), BrokenAt(900), 1), NextAttempt::Resume);
    EXPECT_EQ(AfterFailure(Failed(TransferError::Timeout), BrokenAt(900), 2), NextAttempt::Resume);

    ResumePoint noRanges = BrokenAt(900);
    noRanges.rangesAccepted = false;
    ResumePoint noValidator = BrokenAt(900);
    noValidator.validator.clear();
    for (const ResumePoint& point : {noRanges, noValidator, BrokenAt(0), BrokenAt(900, 0)}) {
        EXPECT_EQ(AfterFailure(Failed(TransferError::ConnectionLost), point, 1), NextAttempt::Restart);
    }
}

TEST(AfterFailure, AtMostTwoMoreAttemptsAndOnlyForNetworkErrorsMidBody) {
    EXPECT_EQ(AfterFailure(Failed(TransferError::ConnectionLost), BrokenAt(900), 3), NextAttempt::None);
    for (TransferError error :
         {TransferError::HttpStatus, TransferError::WriteFailed, TransferError::BadCertificate,
          TransferError::InsecureRedirect, TransferError::ChecksumMismatch, TransferError::Cancelled}) {
        EXPECT_EQ(AfterFailure(Failed(error), BrokenAt(900), 1), NextAttempt::None)
            << static_cast<int>(error);
    }
    ResumePoint beforeAnyAnswer = BrokenAt(0);
    beforeAnyAnswer.bodyBroke = false;
    EXPECT_EQ(AfterFailure(Failed(TransferError::ConnectionLost), beforeAnyAnswer, 1), NextAttempt::None);
    EXPECT_EQ(AfterFailure(TransferResult{}, BrokenAt(900), 1), NextAttempt::None);
}

TEST(PickValidator, StrongEtagFirstThenLastModified) {
    const std::wstring date = L"Tue, 01 Jun 2021 10:00:00 GMT";
    EXPECT_EQ(PickValidator(L" \"abc-123\" ", date), L"\"abc-123\"");
    EXPECT_EQ(PickValidator(L"W/\"abc\"", date), date); // weak tags never match in If-Range
    EXPECT_EQ(PickValidator(L"abc", date), date);       // not a quoted tag
    EXPECT_EQ(PickValidator(std::nullopt, date), date);
    EXPECT_EQ(PickValidator(L"W/\"abc\"", std::nullopt), L"");
    EXPECT_EQ(PickValidator(std::nullopt, L"  "), L"");
}

TEST(RangeHeaders, AskForTheRestOfTheSameVersion) {
    EXPECT_EQ(RangeHeaders(BrokenAt(60397978, 67108864)), L"Range: bytes=60397978-\r\nIf-Range: \"v1\"\r\n");
}

TEST(ParseContentRange, ReadsOnlyTheWellFormedByteRange) {
    auto range = ParseContentRange(L"bytes 900-999/1000");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->first, 900u);
    EXPECT_EQ(range->last, 999u);
    EXPECT_EQ(range->complete, 1000u);
    EXPECT_TRUE(ParseContentRange(L" Bytes 0-0/1 "));
    for (const wchar_t* bad :
         {L"", L"bytes */1000", L"bytes 900-999/*", L"bytes 999-900/1000", L"bytes 900-1000/1000",
          L"items 0-1/2", L"bytes 9x-10/20", L"bytes 1-2", L"bytes -5/10", L"bytes 1/2-3"}) {
        EXPECT_FALSE(ParseContentRange(bad)) << std::wstring(bad).size();
    }
}

TEST(AcceptsByteRanges, FindsTheUnitInTheList) {
    EXPECT_TRUE(AcceptsByteRanges(L"bytes"));
    EXPECT_TRUE(AcceptsByteRanges(L"none, Bytes "));
    EXPECT_FALSE(AcceptsByteRanges(L"none"));
    EXPECT_FALSE(AcceptsByteRanges(L"bytesx"));
    EXPECT_FALSE(AcceptsByteRanges(L""));
}

} // namespace
} // namespace modSetup

namespace modSetup {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;

TEST(NextPieceSize, LargeWhileMuchIsLeftSmallerTowardsTheEndNoCrumbLeft) {
    // 240 MiB left of a 256 MiB file: full-size ranges; then an eighth of the rest, down to the least.
    EXPECT_EQ(NextPieceSize(240 * kMiB, kMiB, 16 * kMiB), 16 * kMiB);
    EXPECT_EQ(NextPieceSize(64 * kMiB, kMiB, 16 * kMiB), 8 * kMiB);
    EXPECT_EQ(NextPieceSize(4 * kMiB, kMiB, 16 * kMiB), kMiB);
    // What would be left behind a range is never less than the least range: it goes with it.
    EXPECT_EQ(NextPieceSize(kMiB + kMiB / 2, kMiB, 16 * kMiB), kMiB + kMiB / 2);
    EXPECT_EQ(NextPieceSize(100, kMiB, 16 * kMiB), 100u);
    // A file handed out to its end in these sizes is covered exactly, with few requests.
    std::uint64_t rest = 240 * kMiB;
    int pieces = 0;
    while (rest > 0) {
        const std::uint64_t size = NextPieceSize(rest, kMiB, 16 * kMiB);
        ASSERT_GT(size, 0u);
        ASSERT_LE(size, rest);
        rest -= size;
        ++pieces;
    }
    EXPECT_LT(pieces, 40);
}

TEST(ReadFirstRange, OnlyTheStartOfTheFileNoLongerThanAsked) {
    const auto range = [](std::uint64_t first, std::uint64_t last, std::uint64_t complete) {
        return std::optional<ContentRange>(ContentRange{first, last, complete});
    };
    const auto large = ReadFirstRange(range(0, 99, 1000), 100, 100);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->end, 100u);
    EXPECT_EQ(large->total, 1000u);
    const auto small = ReadFirstRange(range(0, 9, 10), 10, 100); // the whole of a small file
    ASSERT_TRUE(small);
    EXPECT_EQ(small->end, small->total);
    EXPECT_FALSE(ReadFirstRange(range(1, 99, 1000), 99, 100));   // not from the start
    EXPECT_FALSE(ReadFirstRange(range(0, 199, 1000), 200, 100)); // more than asked
    EXPECT_FALSE(ReadFirstRange(range(0, 99, 1000), 99, 100));   // length disagrees
    EXPECT_FALSE(ReadFirstRange(std::nullopt, 100, 100));
    EXPECT_FALSE(ReadFirstRange(range(0, 99, 1000), std::nullopt, 100));
    EXPECT_EQ(FirstRangeHeaders(100), L"Range: bytes=0-99\r\n");
}

TEST(RangeAnswerMatches, OnlyExactlyTheBytesAskedForOfTheSameVersion) {
    const std::wstring v1 = L"\"v1\"";
    const auto range = [](std::uint64_t first, std::uint64_t last, std::uint64_t complete) {
        return std::optional<ContentRange>(ContentRange{first, last, complete});
    };
    EXPECT_TRUE(RangeAnswerMatches(range(100, 199, 1000), 100, v1, 100, 199, 1000, v1));
    EXPECT_FALSE(RangeAnswerMatches(std::nullopt, 100, v1, 100, 199, 1000, v1));          // no Content-Range
    EXPECT_FALSE(RangeAnswerMatches(range(0, 199, 1000), 200, v1, 100, 199, 1000, v1));   // another start
    EXPECT_FALSE(RangeAnswerMatches(range(100, 299, 1000), 200, v1, 100, 199, 1000, v1)); // another end
    EXPECT_FALSE(RangeAnswerMatches(range(100, 199, 2000), 100, v1, 100, 199, 1000, v1)); // another whole
    EXPECT_FALSE(RangeAnswerMatches(range(100, 199, 1000), 99, v1, 100, 199, 1000, v1));  // length disagrees
    EXPECT_FALSE(RangeAnswerMatches(range(100, 199, 1000), std::nullopt, v1, 100, 199, 1000, v1));
    EXPECT_FALSE(RangeAnswerMatches(range(100, 199, 1000), 100, L"\"v2\"", 100, 199, 1000, v1));
    EXPECT_FALSE(RangeAnswerMatches(range(100, 199, 1000), 100, L"", 100, 199, 1000, L""));
    EXPECT_EQ(RangeHeaders(100, 199, v1), L"Range: bytes=100-199\r\nIf-Range: \"v1\"\r\n");
}

} // namespace
} // namespace modSetup
