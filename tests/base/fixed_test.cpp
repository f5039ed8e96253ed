#include "base/fixed.hpp"

#include <gtest/gtest.h>

#include "base/bounded_writer.hpp"

namespace kelvo {
namespace {

TEST(InlineBytes, RefusesTextOverItsLimitAndKeepsTheOldContent) {
    InlineBytes<4> label;
    EXPECT_TRUE(label.assign("abcd"));
    EXPECT_FALSE(label.assign("abcde"));
    EXPECT_EQ(label.view(), "abcd");
    EXPECT_FALSE(label.append("x"));
    label.clear();
    EXPECT_TRUE(label.append("ab"));
    EXPECT_TRUE(label.append("cd"));
    EXPECT_EQ(label.view(), "abcd");
}

TEST(FixedVec, RemovalMovesLaterRecordsDownWithTheirStrings) {
    struct Record {
        int id = 0;
        InlineBytes<16> name;
    };
    FixedVec<Record, 4> table;
    for (int i = 1; i <= 4; ++i) {
        Record record{i, {}};
        ASSERT_TRUE(record.name.assign("record-" + std::to_string(i)));
        ASSERT_NE(table.push(record), nullptr);
    }
    EXPECT_EQ(table.push(Record{}), nullptr);
    table.removeAt(1);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].name.view(), "record-1");
    EXPECT_EQ(table[1].name.view(), "record-3");
    EXPECT_EQ(table[2].name.view(), "record-4");
    EXPECT_EQ(table.items[3].id, 0);
    EXPECT_EQ(table.findIndex([](const Record& r) { return r.id == 4; }), 2);
    ASSERT_NE(table.insertAt(0, Record{9, {}}), nullptr);
    EXPECT_EQ(table[0].id, 9);
    EXPECT_EQ(table[1].name.view(), "record-1");
}

TEST(BoundedWriter, RecordsOverflowAndKeepsWhatFits) {
    char buffer[5];
    BoundedWriter out(buffer);
    out.write("abc");
    EXPECT_FALSE(out.overflowed());
    out.write("def");
    EXPECT_TRUE(out.overflowed());
    EXPECT_EQ(out.text(), "abcde");
    out.reset();
    out.writeSigned(-42);
    EXPECT_EQ(out.text(), "-42");
}

}  // namespace
}  // namespace kelvo
