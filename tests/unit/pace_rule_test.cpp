// The rule that gives up a body which only drips, and the test hook that shortens the time limits.
#include <gtest/gtest.h>

#include "download/pace_rule.h"
#include "download/test_timeouts.h"

namespace {

using modSetup::PaceRule;

TEST(PaceRule, DripIsGivenUpAtTheEndOfTheFirstWindowAndFastBodyNever) {
    PaceRule drip(1000, 60000, 4096);
    std::uint64_t now = 1000;
    int reads = 0;
    while (drip.Keep(1, now)) { // a byte a second
        now += 1000;
        ASSERT_LT(++reads, 100) << "a drip must not go on for ever";
    }
    EXPECT_EQ(now, 61000u);

    PaceRule fast(0, 60000, 4096);
    for (std::uint64_t t = 0; t < 10 * 60000; t += 500)
        ASSERT_TRUE(fast.Keep(8192, t)) << t;
}

TEST(PaceRule, EachWindowIsJudgedOnItsOwn) {
    PaceRule rule(0, 1000, 100);
    EXPECT_TRUE(rule.Keep(500, 200));
    EXPECT_TRUE(rule.Keep(0, 1000));  // first window had 500 bytes: a new window starts here
    EXPECT_TRUE(rule.Keep(99, 1500)); // earlier bytes do not carry over
    EXPECT_FALSE(rule.Keep(0, 2000)); // 99 < 100 in the second window
    PaceRule exact(0, 1000, 100);
    EXPECT_TRUE(exact.Keep(100, 1000)); // exactly the minimum is enough
    PaceRule off(0, 0, 100);
    EXPECT_TRUE(off.Keep(0, 1u << 30)); // no window: no rule
}

TEST(TestTimeouts, KeysOverrideTheirLimitsAndAnythingMalformedChangesNothing) {
    const modSetup::Timeouts base;
    auto t = modSetup::ApplyTestTimeouts(
        "connect=2000,receive=1500,retry=100,slow=3000:1024,register=900,product=50,split=1048576", base);
    EXPECT_EQ(t.splitMinBytes, 1048576u);
    EXPECT_EQ(base.splitMinBytes, 16u << 20);
    EXPECT_EQ(t.registerMs, 900u);
    EXPECT_EQ(t.productCloseWaitMs, 50u);
    EXPECT_EQ(base.registerMs, 10000u);
    EXPECT_EQ(t.connectMs, 2000u);
    EXPECT_EQ(t.receiveMs, 1500u);
    EXPECT_EQ(t.retryDelaysMs[0], 100u);
    EXPECT_EQ(t.retryDelaysMs[1], 100u);
    EXPECT_EQ(t.slowWindowMs, 3000u);
    EXPECT_EQ(t.slowMinBytes, 1024u);

    auto partial = modSetup::ApplyTestTimeouts("receive=700", base);
    EXPECT_EQ(partial.receiveMs, 700u);
    EXPECT_EQ(partial.connectMs, base.connectMs);
    EXPECT_EQ(partial.slowWindowMs, modSetup::kSlowWindowMs);

    for (const char* bad : {"receive=", "receive=-1", "receive=5x", "recieve=5", "slow=3000", "slow=:5",
                            "connect=1,,receive=2", "connect 1", "split=0", "receive=99999999999999999999"}) {
        auto same = modSetup::ApplyTestTimeouts(bad, base);
        EXPECT_EQ(same.connectMs, base.connectMs) << bad;
        EXPECT_EQ(same.receiveMs, base.receiveMs) << bad;
        EXPECT_EQ(same.slowWindowMs, base.slowWindowMs) << bad;
    }
}

} // namespace
