#include "grid/grid_store.h"

#include <gtest/gtest.h>

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

// --- Column rules ---------------------------------------------------------

TEST(GridStoreColumns, ColumnsAreAddedOnlyUntilTheFirstRow) {
    GridStore store;
    EXPECT_EQ(store.AddColumn(ColumnType::Text), 0);
    EXPECT_EQ(store.AddColumn(ColumnType::Number), 1);
    ASSERT_EQ(store.AddRow(Texts({"a"})), 0);
    EXPECT_EQ(store.AddColumn(ColumnType::Text), -1);
    EXPECT_EQ(store.ColumnCount(), 2);
}

TEST(GridStoreColumns, DeletingEveryRowStillRefusesColumnsButClearRowsAllowsThem) {
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddRow(Texts({"a"}));
    store.DeleteRow(0);
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_EQ(store.AddColumn(ColumnType::Text), -1) << "rows have been stored";
    store.ClearRows();
    EXPECT_EQ(store.AddColumn(ColumnType::Text), 1);
    // The new column takes part in rows added afterwards.
    ASSERT_EQ(store.AddRow(Texts({"x", "y"})), 0);
    EXPECT_EQ(store.Cell(0, 1).ToText(), QStringLiteral("y"));
}

TEST(GridStoreColumns, ClearAllRemovesColumnsAndRows) {
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddRow(Texts({"a"}));
    store.ClearAll();
    EXPECT_EQ(store.ColumnCount(), 0);
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_EQ(store.AddColumn(ColumnType::Number), 0);
}

// --- Row limit ------------------------------------------------------------

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

TEST(GridStoreRows, InsertDeleteAndMoveKeepEachRowsCells) {
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
    // new, 1, 2, 3
    ASSERT_TRUE(store.MoveRow(0, 3));
    EXPECT_EQ(store.Cell(0, 0).ToText(), QStringLiteral("1"));
    EXPECT_EQ(store.Cell(3, 0).ToText(), QStringLiteral("new"));
    ASSERT_TRUE(store.MoveRow(2, 0));
    EXPECT_EQ(store.Cell(0, 0).ToText(), QStringLiteral("3"));
    EXPECT_EQ(store.Cell(0, 1).number, 30);
    EXPECT_FALSE(store.MoveRow(0, 4));

    // A deleted row's record is reused without leaking its old cells.
    store.AddRow(Texts({"reused"}));
    EXPECT_EQ(store.Cell(4, 0).ToText(), QStringLiteral("reused"));
    EXPECT_EQ(store.Cell(4, 1).number, 0);
}

TEST(GridStoreRows, RowColoursStartAsTheGridsAndAreKeptPerRow) {
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddRow(Texts({"a"}));
    store.AddRow(Texts({"b"}));
    EXPECT_EQ(store.Colours(0), (RowColours{kGridColour, kGridColour}));
    ASSERT_TRUE(store.SetColours(1, {0x00FF00, 0x000080}));
    store.MoveRow(1, 0);
    EXPECT_EQ(store.Colours(0), (RowColours{0x00FF00, 0x000080}));
    EXPECT_FALSE(store.SetColours(2, {}));
}

// --- Typed cells ----------------------------------------------------------

struct RoundTrip {
    const char* name;
    ColumnType type;
    int fixedSize;
    GridValue in;
    GridValue out;
};
VOLNAR_PRINT_CASE_NAME(RoundTrip)

class GridStoreCells : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(GridStoreCells, RoundTrip) {
    const RoundTrip& c = GetParam();
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddColumn(c.type, c.fixedSize);
    store.AddColumn(ColumnType::Text);
    const std::vector<GridValue> row{GridValue::Text(QStringLiteral("left")), c.in,
                                     GridValue::Text(QStringLiteral("right"))};
    ASSERT_EQ(store.AddRow(row), 0);
    EXPECT_EQ(store.Cell(0, 1), c.out);
    // Neighbours untouched.
    EXPECT_EQ(store.Cell(0, 0).ToText(), QStringLiteral("left"));
    EXPECT_EQ(store.Cell(0, 2).ToText(), QStringLiteral("right"));
    // Set gives the same as add.
    store.SetCell(0, 1, GridValue{});
    store.SetCell(0, 1, c.in);
    EXPECT_EQ(store.Cell(0, 1), c.out);
}

const QByteArray kFiveBytes("a\0b\xff\x01", 5);

INSTANTIATE_TEST_SUITE_P(
    Types, GridStoreCells,
    ::testing::Values(
        RoundTrip{"Text", ColumnType::Text, 0, GridValue::Text(QStringLiteral("Pump \u00e9")),
                  GridValue::Text(QStringLiteral("Pump \u00e9"))},
        RoundTrip{"EmptyText", ColumnType::Text, 0, GridValue{}, GridValue{}},
        RoundTrip{"LongText", ColumnType::Text, 0, GridValue::Text(QString(5000, QLatin1Char('x'))),
                  GridValue::Text(QString(5000, QLatin1Char('x')))},
        RoundTrip{"NegativeNumber", ColumnType::Number, 0, GridValue::Number(-123456),
                  GridValue::Number(-123456)},
        RoundTrip{"CheckBox", ColumnType::CheckBox, 0, GridValue::Number(1), GridValue::Number(1)},
        RoundTrip{"Choice", ColumnType::ChoiceList, 0, GridValue::Number(3), GridValue::Number(3)},
        RoundTrip{"HotKey", ColumnType::HotKey, 0, GridValue::Number(0x4000041),
                  GridValue::Number(0x4000041)},
        RoundTrip{"Button", ColumnType::Button, 0, GridValue::Text(QStringLiteral("Go")),
                  GridValue::Text(QStringLiteral("Go"))},
        RoundTrip{"Image", ColumnType::Image, 0, GridValue::Number(2), GridValue::Number(2)},
        RoundTrip{"Date", ColumnType::Date, 0, GridValue::Number(154000),
                  GridValue::Number(154000)},
        RoundTrip{"Time", ColumnType::Time, 0, GridValue::Number(86399), GridValue::Number(86399)},
        RoundTrip{"UserText", ColumnType::User, 0, GridValue::Text(QStringLiteral("12345678")),
                  GridValue::Text(QStringLiteral("12345678"))},
        RoundTrip{"UserFiveBytes", ColumnType::User, 5, GridValue::Bytes(kFiveBytes),
                  GridValue::Bytes(kFiveBytes)},
        RoundTrip{"UserBlockShortIsPadded", ColumnType::User, 5, GridValue::Bytes(QByteArray("ab")),
                  GridValue::Bytes(QByteArray("ab\0\0\0", 5))},
        RoundTrip{"UserBlockLongIsCut", ColumnType::User, 5,
                  GridValue::Bytes(QByteArray("abcdefgh")), GridValue::Bytes(QByteArray("abcde"))},
        RoundTrip{"UserThreeBytesInTheSlot", ColumnType::User, 3,
                  GridValue::Bytes(QByteArray("x\0z", 3)), GridValue::Bytes(QByteArray("x\0z", 3))},
        RoundTrip{"UserEmptyBlockIsZeros", ColumnType::User, 6, GridValue{},
                  GridValue::Bytes(QByteArray(6, '\0'))},
        RoundTrip{"TextWithButton", ColumnType::TextWithButton, 0,
                  GridValue::Text(QStringLiteral("a|b")), GridValue::Text(QStringLiteral("a|b"))}),
    ::volnar::testing::ByCaseName{});

TEST(GridStoreCellsOutOfRange, ReadAsEmptyAndWritesAreRefused) {
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddRow(Texts({"a"}));
    EXPECT_EQ(store.Cell(1, 0), GridValue{});
    EXPECT_EQ(store.Cell(0, 1), GridValue{});
    EXPECT_EQ(store.Cell(-1, 0), GridValue{});
    EXPECT_FALSE(store.SetCell(0, 1, GridValue::Text(QStringLiteral("x"))));
    EXPECT_FALSE(store.SetCell(1, 0, GridValue::Text(QStringLiteral("x"))));
}

TEST(GridStoreCells, ReplacingCellsOverAndOverKeepsThePoolBounded) {
    GridStore store;
    store.AddColumn(ColumnType::Text);
    store.AddRow(Texts({"start"}));
    store.AddRow(Texts({"other"}));
    const QString big(1000, QLatin1Char('q'));
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(store.SetCell(0, 0, GridValue::Text(big + QString::number(i))));
    }
    EXPECT_EQ(store.Cell(0, 0).ToText(), big + QStringLiteral("4999"));
    EXPECT_EQ(store.Cell(1, 0).ToText(), QStringLiteral("other"));
    // 5 MB were written; the pool keeps only a little of it.
    EXPECT_LT(store.MemoryBytes(), 2u * 1024 * 1024);
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

// --- Sort -----------------------------------------------------------------

struct SortCase {
    const char* name;
    ColumnType type;
    int fixedSize;
    std::vector<GridValue> values;
    std::vector<int> ascendingOrder;  // original positions, ascending
};
VOLNAR_PRINT_CASE_NAME(SortCase)

class GridStoreSort : public ::testing::TestWithParam<SortCase> {};

TEST_P(GridStoreSort, BothDirectionsAndStableTies) {
    const SortCase& c = GetParam();
    GridStore store;
    store.AddColumn(c.type, c.fixedSize);
    store.AddColumn(ColumnType::Number);  // original position
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        store.AddRow(std::vector<GridValue>{c.values[i], GridValue::Number(static_cast<int>(i))});
    }
    ASSERT_TRUE(store.Sort(0, false));
    std::vector<int> order;
    for (int row = 0; row < store.RowCount(); ++row) {
        order.push_back(store.Cell(row, 1).number);
    }
    EXPECT_EQ(order, c.ascendingOrder);

    ASSERT_TRUE(store.Sort(0, true));
    std::vector<GridValue> descending;
    for (int row = 0; row < store.RowCount(); ++row) {
        descending.push_back(store.Cell(row, 0));
    }
    // Descending is the ascending order of values reversed (ties may keep
    // their own order, so compare values, not positions).
    std::vector<GridValue> ascendingValues;
    for (const int position : c.ascendingOrder) {
        ascendingValues.push_back(c.values[static_cast<std::size_t>(position)]);
    }
    std::vector<GridValue> reversed(ascendingValues.rbegin(), ascendingValues.rend());
    ASSERT_EQ(descending.size(), reversed.size());
    for (std::size_t i = 0; i < reversed.size(); ++i) {
        GridStore probe;
        probe.AddColumn(c.type, c.fixedSize);
        probe.AddRow(std::vector<GridValue>{reversed[i]});
        EXPECT_EQ(descending[i], probe.Cell(0, 0)) << "at " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, GridStoreSort,
    ::testing::Values(
        SortCase{"TextsBytewise",
                 ColumnType::Text,
                 0,
                 {GridValue::Text(QStringLiteral("b")), GridValue::Text(QStringLiteral("B")),
                  GridValue::Text(QStringLiteral("ab")), GridValue{},
                  GridValue::Text(QStringLiteral("b"))},
                 {3, 1, 2, 0, 4}},
        SortCase{"NumbersSigned",
                 ColumnType::Number,
                 0,
                 {GridValue::Number(5), GridValue::Number(-2), GridValue::Number(100),
                  GridValue::Number(-2)},
                 {1, 3, 0, 2}},
        SortCase{"Blocks",
                 ColumnType::User,
                 6,
                 {GridValue::Bytes(QByteArray("b\0\0\0\0\1", 6)), GridValue::Bytes("a\xff"),
                  GridValue::Bytes(QByteArray("b\0\0\0\0\0", 6))},
                 {1, 2, 0}},
        SortCase{"SmallBlocks",
                 ColumnType::User,
                 2,
                 {GridValue::Bytes("\x02\x01"), GridValue::Bytes("\x01\xff"),
                  GridValue::Bytes(QByteArray("\x02\x00", 2))},
                 {1, 2, 0}}),
    ::volnar::testing::ByCaseName{});

TEST(GridStoreSortRules, FewerThanTwoRowsAreNotSorted) {
    GridStore store;
    store.AddColumn(ColumnType::Number);
    EXPECT_FALSE(store.Sort(0, false));
    store.AddRow(std::vector<GridValue>{GridValue::Number(1)});
    EXPECT_FALSE(store.Sort(0, false));
    store.AddRow(std::vector<GridValue>{GridValue::Number(0)});
    EXPECT_FALSE(store.Sort(1, false)) << "no such column";
    EXPECT_TRUE(store.Sort(0, false));
    EXPECT_EQ(store.Cell(0, 0).number, 0);
}

}  // namespace
}  // namespace volnar::grid

namespace volnar::grid {
namespace {

// --- Against a plain model ------------------------------------------------

// A long random run of every row operation, checked against rows kept as
// plain values: the store's index, record reuse and pool compaction must
// never mix up or lose a cell.
TEST(GridStoreModel, RandomOperationsMatchAPlainModel) {
    const std::vector<std::pair<ColumnType, int>> columns{{ColumnType::Text, 0},
                                                          {ColumnType::Number, 0},
                                                          {ColumnType::User, 6},
                                                          {ColumnType::User, 3},
                                                          {ColumnType::User, 0}};
    GridStore store;
    for (const auto& [type, size] : columns) {
        store.AddColumn(type, size);
    }
    std::vector<std::vector<GridValue>> model;
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    // The value the store gives back for what was put in.
    auto normalise = [&](std::size_t column, const GridValue& value) {
        const auto [type, size] = columns[column];
        if (HoldsBlock(type, size)) {
            QByteArray block = value.bytes.left(size);
            block.append(QByteArray(size - block.size(), '\0'));
            return GridValue::Bytes(block);
        }
        if (HoldsText(type, size)) {
            return GridValue::Bytes(value.bytes);
        }
        return GridValue::Number(value.number);
    };
    auto randomValue = [&](std::size_t column) {
        const auto [type, size] = columns[column];
        if (HoldsText(type, size) || HoldsBlock(type, size)) {
            // Long texts now and then, so the pool grows and compacts.
            const int length =
                next(10) == 0 ? 2000 + static_cast<int>(next(3000)) : static_cast<int>(next(12));
            QByteArray bytes(length, '\0');
            for (char& c : bytes) {
                c = static_cast<char>(next(256));
            }
            return GridValue::Bytes(bytes);
        }
        return GridValue::Number(static_cast<std::int32_t>(next(2000)) - 1000);
    };
    auto randomRow = [&] {
        std::vector<GridValue> row;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            row.push_back(randomValue(c));
        }
        return row;
    };
    auto stored = [&](const std::vector<GridValue>& row) {
        std::vector<GridValue> out;
        for (std::size_t c = 0; c < row.size(); ++c) {
            out.push_back(normalise(c, row[c]));
        }
        return out;
    };

    std::size_t garbage = 0;
    bool compacted = false;
    for (int step = 0; step < 20000; ++step) {
        compacted = compacted || store.GarbageBytes() < garbage;
        garbage = store.GarbageBytes();
        const int rows = static_cast<int>(model.size());
        std::uint32_t op = next(7);
        if (step >= 10000 && step < 13000 && op <= 2) {
            op = 3;  // a spell of deletes leaves the pool mostly garbage
        }
        switch (op) {
            case 0:
            case 1: {
                const auto row = randomRow();
                ASSERT_EQ(store.AddRow(row), rows);
                model.push_back(stored(row));
                break;
            }
            case 2: {
                const int at = static_cast<int>(next(static_cast<std::uint32_t>(rows + 1)));
                const auto row = randomRow();
                ASSERT_EQ(store.InsertRow(at, row), at);
                model.insert(model.begin() + at, stored(row));
                break;
            }
            case 3:
                if (rows > 0) {
                    const int at = static_cast<int>(next(static_cast<std::uint32_t>(rows)));
                    ASSERT_TRUE(store.DeleteRow(at));
                    model.erase(model.begin() + at);
                }
                break;
            case 4:
                if (rows > 0) {
                    const int from = static_cast<int>(next(static_cast<std::uint32_t>(rows)));
                    const int to = static_cast<int>(next(static_cast<std::uint32_t>(rows)));
                    ASSERT_TRUE(store.MoveRow(from, to));
                    auto moved = model[static_cast<std::size_t>(from)];
                    model.erase(model.begin() + from);
                    model.insert(model.begin() + to, moved);
                }
                break;
            case 5:
                if (rows > 0) {
                    const int at = static_cast<int>(next(static_cast<std::uint32_t>(rows)));
                    const std::size_t column = next(static_cast<std::uint32_t>(columns.size()));
                    const GridValue value = randomValue(column);
                    ASSERT_TRUE(store.SetCell(at, static_cast<int>(column), value));
                    model[static_cast<std::size_t>(at)][column] = normalise(column, value);
                }
                break;
            case 6:
                if (next(50) == 0 && rows >= 2) {
                    // Sorting by the number column, then compare whole rows
                    // after sorting the model the same (stable) way.
                    ASSERT_TRUE(store.Sort(1, false));
                    std::stable_sort(model.begin(), model.end(), [](const auto& a, const auto& b) {
                        return a[1].number < b[1].number;
                    });
                }
                break;
        }
        if (step % 1000 == 999 || step == 19999) {
            ASSERT_EQ(store.RowCount(), static_cast<int>(model.size()));
            for (int r = 0; r < store.RowCount(); ++r) {
                for (std::size_t c = 0; c < columns.size(); ++c) {
                    ASSERT_EQ(store.Cell(r, static_cast<int>(c)),
                              model[static_cast<std::size_t>(r)][c])
                        << "step " << step << " row " << r << " column " << c;
                }
            }
        }
    }
    EXPECT_GT(store.RowCount(), 100);
    EXPECT_TRUE(compacted) << "the run is meant to compact the pool";
}

}  // namespace
}  // namespace volnar::grid
