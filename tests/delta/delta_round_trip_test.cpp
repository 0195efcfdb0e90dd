#include <gtest/gtest.h>

#include "delta_test_support.h"

namespace tpe::test {
namespace {

Bytes Splice(const Bytes& data, size_t at, size_t erase, const Bytes& insert) {
    Bytes out(data.begin(), data.begin() + at);
    out.insert(out.end(), insert.begin(), insert.end());
    out.insert(out.end(), data.begin() + at + erase, data.end());
    return out;
}

// Each kind of change, and the most its delta may cost.
TEST(DeltaRoundTrip, EachKindOfChangeCostsAboutWhatItChanges) {
    Random random(3);
    const Bytes none, one{1}, two{2}, text = Text(5000, 1), same = Random(2).Fill(300000);
    Bytes oldData = random.Fill(200000), edited = oldData;
    for (int i = 0; i < 50; ++i) edited[random.Below(edited.size())] ^= 0x5a;
    edited = Splice(edited, 1000, 0, random.Fill(300));
    edited = Splice(edited, 90000, 5000, {});
    edited = Splice(edited, 150000, 10, random.Fill(700));
    const Bytes blocks = Random(4).Fill(256 * 1024);
    Bytes moved;
    for (int block : {3, 0, 2, 1, 3, 3}) {
        auto start = blocks.begin() + block * 64 * 1024;
        moved.insert(moved.end(), start, start + 64 * 1024);
    }
    const Bytes noise = Random(5).Fill(100000), prose = Text(100000, 6);
    const Bytes document = Text(400000, 7);
    const Bytes revised =
        Splice(Splice(document, 123456, 200, Text(1000, 8)), 4000, 0, Text(50, 9));
    const Bytes chunks = Random(11).Fill(3 * 1024 * 1024 + 17);
    Bytes spanning = Splice(chunks, 1024 * 1024 - 3, 0, Random(12).Fill(10));  // across a chunk end
    spanning = Splice(spanning, 2500000, 100000, {});
    spanning.insert(spanning.end(), chunks.begin(), chunks.begin() + 1500000);
    // What the new file costs with no old file: compressed or stored.
    auto alone = [](const Bytes& newData) { return Encode({}, newData).size(); };
    const struct {
        const char* name;
        const Bytes &oldData, &newData;
        size_t limit;
    } cases[] = {
        {"both empty", none, none, 64},
        {"emptied", text, none, 64},
        {"from nothing", none, text, alone(text)},
        {"one byte each", one, two, 64},
        {"identical", same, same, 200},
        {"small edits, insertions and deletions", oldData, edited, 2000},
        {"moved and repeated blocks", blocks, moved, 1000},
        {"unrelated text", noise, prose, alone(prose)},
        {"unrelated noise", prose, noise, noise.size() + 64},  // stored
        {"edited text", document, revised, alone(revised) / 10},
        {"many chunks", chunks, spanning, 5000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_LE(RoundTrip(c.oldData, c.newData).size(), c.limit);
    }
}

TEST(DeltaRoundTrip, ThreadsDoNotChangeTheBytes) {
    Bytes oldData = Text(300000, 12);
    Bytes newData = Splice(oldData, 5000, 100, Random(13).Fill(3000));
    EXPECT_EQ(Encode(oldData, newData, 1), Encode(oldData, newData, 4));
}

}  // namespace
}  // namespace tpe::test
