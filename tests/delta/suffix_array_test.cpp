#include "suffix_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "delta_test_support.h"

namespace tpe::test {
namespace {

std::vector<int32_t> NaiveSuffixArray(const Bytes& text) {
    std::vector<int32_t> sa(text.size());
    std::iota(sa.begin(), sa.end(), 0);
    std::sort(sa.begin(), sa.end(), [&](int32_t a, int32_t b) {
        return std::lexicographical_compare(text.begin() + a, text.end(), text.begin() + b,
                                            text.end());
    });
    return sa;
}

void ExpectSorted(const Bytes& text) {
    EXPECT_EQ(BuildSuffixArray(text.data(), text.size()), NaiveSuffixArray(text))
        << "size " << text.size();
}

TEST(SuffixArray, DegenerateRunsAndPeriodicText) {
    EXPECT_TRUE(BuildSuffixArray(nullptr, 0).empty());
    ExpectSorted({7});
    ExpectSorted(Bytes(1000, 'a'));
    Bytes periodic;
    for (int i = 0; i < 2000; ++i) periodic.push_back("abaab"[i % 5]);
    ExpectSorted(periodic);
    ExpectSorted({'m', 'i', 's', 's', 'i', 's', 's', 'i', 'p', 'p', 'i'});
    Bytes descending(300);
    for (size_t i = 0; i < descending.size(); ++i) descending[i] = static_cast<uint8_t>(255 - i);
    ExpectSorted(descending);
}

TEST(SuffixArray, MatchesNaiveSortOnRandomTexts) {
    Random random(1);
    for (int round = 0; round < 200; ++round) {
        size_t size = 1 + random.Below(600);
        size_t alphabet = 1 + random.Below(round % 2 ? 4 : 256);
        Bytes text(size);
        for (auto& b : text) b = static_cast<uint8_t>(random.Below(alphabet));
        ExpectSorted(text);
    }
    ExpectSorted(Text(20000, 3));
}

}  // namespace
}  // namespace tpe::test
