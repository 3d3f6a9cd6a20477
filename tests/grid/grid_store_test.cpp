// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid/grid_store.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "support/param_name.h"
#include "support/qt_print.h"

namespace volnar::grid {
namespace {

std::vector<GridValue> Texts(std::initializer_list<const char*> texts) {
    std::vector<GridValue> cells;
    for (const char* text : texts) {
        cells.push_back(GridValue::Text(QString::fromUtf8(text)));
    }
    return cells;
}

// Columns are added until a row is stored (deleting every row is not enough);
// ClearRows allows them again, ClearAll removes them.
TEST(GridStoreColumns, OnlyBeforeTheFirstRowUntilClearRowsOrClearAllAndSortNeedsTwoRows) {
    GridStore store;
    EXPECT_EQ(store.AddColumn(ColumnType::Text), 0);
    EXPECT_EQ(store.AddColumn(ColumnType::Number), 1);
    EXPECT_FALSE(store.Sort(0, false)) << "fewer than two rows are not sorted";
    ASSERT_EQ(store.AddRow(Texts({"a"})), 0);
    EXPECT_FALSE(store.Sort(0, false));
    store.DeleteRow(0);
    EXPECT_EQ(store.AddColumn(ColumnType::Text), -1) << "rows have been stored";
    store.ClearRows();
    EXPECT_EQ(store.AddColumn(ColumnType::Text), 2);
    ASSERT_EQ(store.AddRow(Texts({"x", "1", "z"})), 0);
    EXPECT_EQ(store.Cell(0, 2).ToText(), QStringLiteral("z")) << "the new column takes part";
    ASSERT_EQ(store.AddRow(Texts({"b"})), 1);
    EXPECT_FALSE(store.Sort(3, false)) << "no such column";
    EXPECT_TRUE(store.Sort(0, false));
    EXPECT_EQ(store.Cell(0, 0).ToText(), QStringLiteral("b"));
    store.ClearAll();
    EXPECT_EQ(store.ColumnCount(), 0);
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_EQ(store.AddColumn(ColumnType::Number), 0);
}

TEST(GridStoreRows, HoldsAtMost65536Rows) {
    GridStore store;
    store.AddColumn(ColumnType::Number);
    const std::vector<GridValue> row{GridValue::Number(7)};
    for (int i = 0; i < kMaxRows; ++i) {
        ASSERT_EQ(store.AddRow(row), i);
    }
    EXPECT_EQ(store.AddRow(row), -1);
    EXPECT_EQ(store.InsertRow(0, row), -1);
    EXPECT_EQ(store.RowCount(), kMaxRows);
    // Room again after one row goes.
    ASSERT_TRUE(store.DeleteRow(100));
    EXPECT_EQ(store.InsertRow(0, row), 0);
    EXPECT_EQ(store.AddRow(row), -1);
}

TEST(GridStoreRows, InsertDeleteAndMoveKeepEachRowsCellsAndCellsOutOfRangeAreEmpty) {
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddColumn(ColumnType::Number);
    for (int i = 0; i < 4; ++i) {
        store.AddRow(
            std::vector<GridValue>{GridValue::Text(QString::number(i)), GridValue::Number(i * 10)});
    }
    ASSERT_EQ(store.InsertRow(1, Texts({"new"})), 1);
    EXPECT_EQ(store.Cell(1, 0).ToText(), QStringLiteral("new"));
    EXPECT_EQ(store.Cell(1, 1).number, 0) << "a missing cell is empty";
    EXPECT_EQ(store.Cell(2, 0).ToText(), QStringLiteral("1"));
    EXPECT_EQ(store.InsertRow(6, Texts({"x"})), -1) << "past the end";
    EXPECT_EQ(store.InsertRow(-1, Texts({"x"})), -1);

    ASSERT_TRUE(store.DeleteRow(0));
    EXPECT_FALSE(store.DeleteRow(4));
    // new, 1, 2, 3; row colours start as the grid's and move with their row.
    EXPECT_EQ(store.Colours(0), (RowColours{kGridColour, kGridColour}));
    ASSERT_TRUE(store.SetColours(0, {0x00FF00, 0x000080}));
    EXPECT_FALSE(store.SetColours(4, {}));
    ASSERT_TRUE(store.MoveRow(0, 3));
    EXPECT_EQ(store.Cell(0, 0).ToText(), QStringLiteral("1"));
    EXPECT_EQ(store.Cell(3, 0).ToText(), QStringLiteral("new"));
    EXPECT_EQ(store.Colours(3), (RowColours{0x00FF00, 0x000080}));
    EXPECT_EQ(store.Colours(0), (RowColours{kGridColour, kGridColour}));
    ASSERT_TRUE(store.MoveRow(2, 0));
    EXPECT_EQ(store.Cell(0, 0).ToText(), QStringLiteral("3"));
    EXPECT_EQ(store.Cell(0, 1).number, 30);
    EXPECT_FALSE(store.MoveRow(0, 4));

    // A deleted row's record is reused without leaking its old cells.
    store.AddRow(Texts({"reused"}));
    EXPECT_EQ(store.Cell(4, 0).ToText(), QStringLiteral("reused"));
    EXPECT_EQ(store.Cell(4, 1).number, 0);

    // Cells out of range read as empty and refuse writes.
    for (const auto& [row, column] : {std::pair(5, 0), std::pair(0, 2), std::pair(-1, 0)}) {
        EXPECT_EQ(store.Cell(row, column), GridValue{}) << row << "," << column;
        EXPECT_FALSE(store.SetCell(row, column, GridValue::Text(QStringLiteral("x"))));
    }
}

GridValue T(const QString& text) {
    return GridValue::Text(text);
}
GridValue N(std::int32_t number) {
    return GridValue::Number(number);
}
GridValue B(const char* bytes, qsizetype size = -1) {
    return GridValue::Bytes(QByteArray(bytes, size));
}
GridValue B(const QByteArray& bytes) {
    return GridValue::Bytes(bytes);
}

using enum ColumnType;

struct RoundTrip {
    const char* name;
    ColumnType type;
    int size = 0;  // the block size of a type-9 column
    GridValue in;
    std::optional<GridValue> out = std::nullopt;  // when it differs from `in`
};
VOLNAR_PRINT_CASE_NAME(RoundTrip)

class GridStoreCells : public ::testing::TestWithParam<RoundTrip> {};

// Added or set, the cell comes back as stored, its neighbours untouched.
TEST_P(GridStoreCells, RoundTrip) {
    const RoundTrip& c = GetParam();
    const GridValue out = c.out.value_or(c.in);
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddColumn(c.type, c.size);
    store.AddColumn(ColumnType::Text);
    ASSERT_EQ(store.AddRow(std::vector<GridValue>{T("left"), c.in, T("right")}), 0);
    EXPECT_EQ(store.Cell(0, 1), out);
    EXPECT_EQ(store.Cell(0, 0).ToText(), QStringLiteral("left"));
    EXPECT_EQ(store.Cell(0, 2).ToText(), QStringLiteral("right"));
    store.SetCell(0, 1, GridValue{});
    store.SetCell(0, 1, c.in);
    EXPECT_EQ(store.Cell(0, 1), out);
}

const RoundTrip kRoundTrips[] = {
    {.name = "Text", .type = Text, .in = T("Pump \u00e9")},
    {.name = "EmptyText", .type = Text, .in = {}},
    {.name = "LongText", .type = Text, .in = T(QString(5000, QLatin1Char('x')))},
    {.name = "NegativeNumber", .type = Number, .in = N(-123456)},
    {.name = "CheckBox", .type = CheckBox, .in = N(1)},
    {.name = "Choice", .type = ChoiceList, .in = N(3)},
    {.name = "HotKey", .type = HotKey, .in = N(0x4000041)},
    {.name = "Button", .type = Button, .in = T("Go")},
    {.name = "Image", .type = Image, .in = N(2)},
    {.name = "Date", .type = Date, .in = N(154000)},
    {.name = "Time", .type = Time, .in = N(86399)},
    {.name = "UserText", .type = User, .in = T("12345678")},
    {.name = "TextWithButton", .type = TextWithButton, .in = T("a|b")},
    {.name = "UserFiveBytes", .type = User, .size = 5, .in = B("a\0b\xff\x01", 5)},
    {.name = "BlockShortIsPadded", .type = User, .size = 5, .in = B("ab"), .out = B("ab\0\0\0", 5)},
    {.name = "BlockLongIsCut", .type = User, .size = 5, .in = B("abcdefgh"), .out = B("abcde")},
    {.name = "ThreeBytesInTheSlot", .type = User, .size = 3, .in = B("x\0z", 3)},
    {.name = "EmptyBlockIsZeros", .type = User, .size = 6, .in = {}, .out = B("\0\0\0\0\0\0", 6)},
};

INSTANTIATE_TEST_SUITE_P(Types, GridStoreCells, ::testing::ValuesIn(kRoundTrips),
                         ::volnar::testing::ByCaseName{});

// Replaced and deleted cells leave garbage in the pool; compacting it must
// keep every live cell (texts and blocks in the pool, blocks and numbers in
// the slots) and keep the pool bounded. The grid fuzzer checks the same over
// random row operations.
TEST(GridStoreCells, CompactingThePoolKeepsEveryLiveCell) {
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddColumn(ColumnType::User, 6);
    store.AddColumn(ColumnType::User, 3);
    store.AddColumn(ColumnType::Number);
    auto blocks = [](int i) {
        return std::pair(QByteArray::number(i * 7).leftJustified(6, '\0'),
                         ("x" + QByteArray::number(i % 10)).leftJustified(3, '\0'));
    };
    for (int i = 0; i < 200; ++i) {
        const auto [six, three] = blocks(i);
        store.AddRow(std::vector<GridValue>{T(QString(i % 7 * 300, QLatin1Char('r'))), B(six),
                                            B(three), N(i)});
    }
    for (int row = 0; row < 100; ++row) {
        ASSERT_TRUE(store.DeleteRow(row));  // rows 0, 2, 4 ... as first added
    }
    const QString big(1000, QLatin1Char('q'));
    std::size_t garbage = 0;
    bool compacted = false;
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(store.SetCell(i % 100, 0, T(big + QString::number(i))));
        compacted = compacted || store.GarbageBytes() < garbage;
        garbage = store.GarbageBytes();
    }
    EXPECT_TRUE(compacted);
    EXPECT_LT(store.MemoryBytes(), 2u * 1024 * 1024) << "5 MB were written";
    for (int row = 0; row < 100; ++row) {
        const int first = 2 * row + 1;
        const auto [six, three] = blocks(first);
        EXPECT_EQ(store.Cell(row, 0).ToText(), big + QString::number(4900 + row));
        EXPECT_EQ(store.Cell(row, 1).bytes, six) << "row " << row;
        EXPECT_EQ(store.Cell(row, 2).bytes, three) << "row " << row;
        EXPECT_EQ(store.Cell(row, 3).number, first);
    }
}

// A fixed block before a text column takes pool room too: a row given as
// texts into a pool just short of full must not write past it.
TEST(GridStoreCells, TextsAfterABlockIntoANearlyFullPool) {
    GridStore store;
    store.AddColumn(ColumnType::User, 100);
    store.AddColumn(ColumnType::Text);
    // The first growth gives 4 + 131072 bytes; leave 110 of them free.
    const int filler = 131072 + 4 - 110 - 8;
    ASSERT_EQ(store.AddRow(
                  std::vector<GridValue>{GridValue{}, GridValue::Bytes(QByteArray(filler, 'f'))}),
              0);
    const QString text(30, QLatin1Char('x'));
    ASSERT_EQ(store.AddRowTexts(std::vector<QString>{QStringLiteral("abc"), text}), 1);
    EXPECT_EQ(store.Cell(1, 0).bytes, QByteArray("abc").leftJustified(100, '\0'));
    EXPECT_EQ(store.Cell(1, 1).ToText(), text);
    EXPECT_EQ(store.Cell(0, 1).bytes.size(), filler);
}

// Out of storage, every write is refused whole: nothing is stored as empty.
TEST(GridStoreCells, OutOfStorageRefusesAndLeavesTheGridUnchanged) {
    GridStore store(1 << 20);
    store.AddColumn(ColumnType::Text);
    store.AddColumn(ColumnType::User, 64);
    const GridValue big = GridValue::Bytes(QByteArray(2 << 20, 'b'));
    const std::vector<GridValue> small{GridValue::Text(QStringLiteral("a")), GridValue{}};
    EXPECT_EQ(store.AddRow(std::vector<GridValue>{big}), -1);
    EXPECT_EQ(store.AddRowTexts(std::vector<QString>{QString(2 << 20, QLatin1Char('t'))}), -1);
    EXPECT_EQ(store.RowCount(), 0);
    ASSERT_EQ(store.AddRow(small), 0);
    EXPECT_EQ(store.InsertRow(0, std::vector<GridValue>{big}), -1);
    EXPECT_FALSE(store.SetCell(0, 0, big));
    EXPECT_EQ(store.RowCount(), 1);
    EXPECT_EQ(store.Cell(0, 0).ToText(), QStringLiteral("a"));
    // Blocks fill the rest until the limit, then stop without losing a row.
    int added = 0;
    while (store.AddRow(std::vector<GridValue>{GridValue{}, GridValue::Bytes("x")}) > 0) {
        ++added;
    }
    EXPECT_GT(added, 1000);
    EXPECT_LE(store.MemoryBytes(), std::size_t{1} << 20);
    EXPECT_EQ(store.RowCount(), added + 1);
    EXPECT_EQ(store.Cell(added, 1).bytes, QByteArray("x").leftJustified(64, '\0'));
}

struct SortCase {
    const char* name;
    ColumnType type;
    int size = 0;
    std::vector<GridValue> values;
    // Original positions after sorting; equal cells keep their order.
    std::vector<int> up;
    std::vector<int> down;
};
VOLNAR_PRINT_CASE_NAME(SortCase)

class GridStoreSort : public ::testing::TestWithParam<SortCase> {};

TEST_P(GridStoreSort, BothDirectionsAndStableTies) {
    const SortCase& c = GetParam();
    GridStore store;
    store.AddColumn(c.type, c.size);
    store.AddColumn(ColumnType::Number);  // original position
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        store.AddRow(std::vector<GridValue>{c.values[i], N(static_cast<int>(i))});
    }
    auto positions = [&] {
        std::vector<int> order;
        for (int row = 0; row < store.RowCount(); ++row) {
            order.push_back(store.Cell(row, 1).number);
        }
        return order;
    };
    ASSERT_TRUE(store.Sort(0, false));
    EXPECT_EQ(positions(), c.up);
    ASSERT_TRUE(store.Sort(0, true));
    EXPECT_EQ(positions(), c.down);
}

// clang-format off
const SortCase kSorts[] = {
    {.name = "TextsBytewise", .type = Text, .values = {T("b"), T("B"), T("ab"), {}, T("b")}, .up = {3, 1, 2, 0, 4}, .down = {0, 4, 2, 1, 3}},
    {.name = "NumbersSigned", .type = Number, .values = {N(5), N(-2), N(100), N(-2)}, .up = {1, 3, 0, 2}, .down = {2, 0, 1, 3}},
    {.name = "Blocks", .type = User, .size = 6, .values = {B("b\0\0\0\0\1", 6), B("a\xff"), B("b\0\0\0\0\0", 6)}, .up = {1, 2, 0}, .down = {0, 2, 1}},
    {.name = "SmallBlocks", .type = User, .size = 2, .values = {B("\x02\x01"), B("\x01\xff"), B("\x02\x00", 2)}, .up = {1, 2, 0}, .down = {0, 2, 1}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Types, GridStoreSort, ::testing::ValuesIn(kSorts),
                         ::volnar::testing::ByCaseName{});

}  // namespace
}  // namespace volnar::grid
