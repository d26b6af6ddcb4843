// Randomized edit sequences with fixed seeds: invariants after every step, and undo of
// everything back to the first text. The fuzz target fuzz_EditSequence runs the same driver on
// the fuzzer's bytes for long runs.
#include "EditSequence.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(EditSequence, RandomEditsKeepInvariantsAndUndoRestoresTheText)
{
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937 rng(seed);
        std::vector<uint8_t> bytes(6000);
        for (uint8_t &b : bytes)
            b = uint8_t(rng());
        const std::string failure = qd::test::runEditSequence(bytes.data(), bytes.size());
        ASSERT_EQ(failure, std::string()) << "seed " << seed;
    }
}

TEST(EditSequence, DegenerateInputsAreHandled)
{
    EXPECT_EQ(qd::test::runEditSequence(nullptr, 0), std::string());
    const uint8_t one = 0xFF;
    EXPECT_EQ(qd::test::runEditSequence(&one, 1), std::string());
    const std::vector<uint8_t> zeros(500, 0);
    EXPECT_EQ(qd::test::runEditSequence(zeros.data(), zeros.size()), std::string());
}

} // namespace
