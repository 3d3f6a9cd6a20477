// Drives the grid's row store with random columns (every type, block sizes
// around the packed/pooled boundary) and random row operations under a small
// memory limit, checking every cell against rows kept as plain values: a
// refused operation must leave the grid exactly as it was.
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "grid/grid_store.h"

namespace {

using namespace volnar::grid;

using volnar::fuzz::Check;

using volnar::fuzz::Input;

struct Column {
    ColumnType type;
    int size;
};

// What the store gives back for a value put into a column.
GridValue Stored(const Column& c, const GridValue& value) {
    if (HoldsBlock(c.type, c.size)) {
        QByteArray block = value.bytes.left(c.size);
        block.append(QByteArray(c.size - block.size(), '\0'));
        return GridValue::Bytes(block);
    }
    if (HoldsText(c.type, c.size)) {
        return GridValue::Bytes(value.bytes);
    }
    return GridValue::Number(value.number);
}

// A value for the column: short or (now and then) long bytes, or a number.
GridValue RandomValue(Input& in, const Column& c) {
    if (HoldsText(c.type, c.size) || HoldsBlock(c.type, c.size)) {
        const std::uint8_t kind = in.Byte();
        const int length = kind < 16 ? 1000 * (kind + 1) : kind % 24;
        QByteArray bytes(length, static_cast<char>(in.Byte()));
        if (length > 0) {
            bytes[0] = static_cast<char>(in.Byte());
        }
        return GridValue::Bytes(bytes);
    }
    return GridValue::Number(static_cast<std::int32_t>(in.Short()) - 30000);
}

using Row = std::vector<GridValue>;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    // 32 KiB to 2 MiB: small enough that long cells run out of storage.
    GridStore store(std::size_t{32768} << (in.Byte() % 7));
    std::vector<Column> columns;
    const int columnCount = 1 + in.Byte() % 8;
    for (int i = 0; i < columnCount; ++i) {
        const auto type = static_cast<ColumnType>(in.Byte() % 11);
        const int blockSize = in.Byte() % 12;  // 0 (text), packed 1-4, pooled 5-11
        Check(store.AddColumn(type, blockSize) == i);
        columns.push_back({type, type == ColumnType::User ? blockSize : 0});
    }
    std::vector<Row> model;
    auto randomRow = [&] {
        Row row;
        const std::size_t cells = in.Byte() % (columns.size() + 2);  // short, whole or long rows
        for (std::size_t c = 0; c < cells; ++c) {
            row.push_back(RandomValue(in, columns[c % columns.size()]));
        }
        return row;
    };
    auto stored = [&](const Row& row) {
        Row out;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            out.push_back(Stored(columns[c], c < row.size() ? row[c] : GridValue{}));
        }
        return out;
    };
    auto pick = [&](int bound) { return bound <= 0 ? 0 : static_cast<int>(in.Short() % bound); };

    for (int step = 0; step < 2000 && !in.Empty(); ++step) {
        const int rows = static_cast<int>(model.size());
        switch (in.Byte() % 8) {
            case 0: {
                const Row row = randomRow();
                const int added = store.AddRow(row);
                Check(added == -1 || added == rows);
                if (added >= 0) {
                    model.push_back(stored(row));
                }
                break;
            }
            case 1: {
                const int at = pick(rows + 1);
                const Row row = randomRow();
                const int inserted = store.InsertRow(at, row);
                Check(inserted == -1 || inserted == at);
                if (inserted >= 0) {
                    model.insert(model.begin() + at, stored(row));
                }
                break;
            }
            case 2: {
                // Texts: text columns take the text, blocks its Latin-1 bytes,
                // numbers its decimal value.
                std::vector<QString> texts;
                Row row;
                for (const Column& c : columns) {
                    const GridValue value = RandomValue(in, c);
                    if (HoldsText(c.type, c.size) || HoldsBlock(c.type, c.size)) {
                        texts.push_back(QString::fromLatin1(value.bytes));
                        row.push_back(HoldsText(c.type, c.size) ? GridValue::Text(texts.back())
                                                                : value);
                    } else {
                        texts.push_back(QString::number(value.number));
                        row.push_back(value);
                    }
                }
                const int added = store.AddRowTexts(texts);
                Check(added == -1 || added == rows);
                if (added >= 0) {
                    model.push_back(stored(row));
                }
                break;
            }
            case 3: {
                const int at = pick(rows);
                Check(store.DeleteRow(at) == (rows > 0));
                if (rows > 0) {
                    model.erase(model.begin() + at);
                }
                break;
            }
            case 4: {
                const int from = pick(rows);
                const int to = pick(rows);
                Check(store.MoveRow(from, to) == (rows > 0));
                if (rows > 0) {
                    Row moved = model[static_cast<std::size_t>(from)];
                    model.erase(model.begin() + from);
                    model.insert(model.begin() + to, moved);
                }
                break;
            }
            case 5: {
                const int at = pick(rows);
                const int column = pick(static_cast<int>(columns.size()));
                const GridValue value = RandomValue(in, columns[static_cast<std::size_t>(column)]);
                const bool set = store.SetCell(at, column, value);
                if (set) {
                    Check(rows > 0);
                    model[static_cast<std::size_t>(at)][static_cast<std::size_t>(column)] =
                        Stored(columns[static_cast<std::size_t>(column)], value);
                }
                break;
            }
            case 6: {
                const int column = pick(static_cast<int>(columns.size()));
                const bool descending = (in.Byte() & 1) != 0;
                Check(store.Sort(column, descending) == (rows >= 2));
                const Column& c = columns[static_cast<std::size_t>(column)];
                std::stable_sort(model.begin(), model.end(), [&](const Row& a, const Row& b) {
                    const GridValue& x = a[static_cast<std::size_t>(column)];
                    const GridValue& y = b[static_cast<std::size_t>(column)];
                    if (HoldsText(c.type, c.size) || HoldsBlock(c.type, c.size)) {
                        // Byte order: QByteArray compares as unsigned bytes.
                        return descending ? y.bytes < x.bytes : x.bytes < y.bytes;
                    }
                    return descending ? y.number < x.number : x.number < y.number;
                });
                break;
            }
            case 7:
                if (in.Byte() % 16 == 0) {
                    store.ClearRows();
                    model.clear();
                }
                break;
        }
        Check(store.RowCount() == static_cast<int>(model.size()));
    }
    for (int r = 0; r < store.RowCount(); ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            Check(store.Cell(r, static_cast<int>(c)) == model[static_cast<std::size_t>(r)][c]);
        }
    }
    return 0;
}
