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

TEST(ChooseSplit, HalvesTheLargestRestWhileBothHalvesAreWorthARequest) {
    // The first stream has 8 of 64 MiB: the idle connection takes the second half of the rest.
    std::vector<FileRange> ranges = {{0, 8 * kMiB, 64 * kMiB, false}};
    auto split = ChooseSplit(ranges, 4 * kMiB);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->range, 0u);
    EXPECT_EQ(split->at, 36 * kMiB);

    // The largest rest wins, wherever it lies; one being split already is passed over.
    ranges = {{0, 30 * kMiB, 36 * kMiB, false}, {36 * kMiB, 40 * kMiB, 64 * kMiB, false}};
    EXPECT_EQ(ChooseSplit(ranges, 2 * kMiB)->range, 1u);
    EXPECT_EQ(ChooseSplit(ranges, 2 * kMiB)->at, 52 * kMiB);
    ranges[1].splitting = true;
    EXPECT_EQ(ChooseSplit(ranges, 2 * kMiB)->range, 0u);

    // Nothing under two shares is cut, and a range that is in has no rest.
    EXPECT_FALSE(ChooseSplit({{0, 0, 8 * kMiB - 1, false}}, 4 * kMiB));
    EXPECT_TRUE(ChooseSplit({{0, 0, 8 * kMiB, false}}, 4 * kMiB));
    EXPECT_FALSE(ChooseSplit({{0, 9, 9, false}}, 0));
    EXPECT_FALSE(ChooseSplit({}, 4 * kMiB));
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
