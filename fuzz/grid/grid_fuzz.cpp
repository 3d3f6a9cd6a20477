// SPDX-License-Identifier: GPL-3.0-or-later
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

// One run: the store, its columns, and the rows it should hold as plain
// values. Each operation checks the store's answer and keeps the model in
// step with what the store accepted.
class StoreRun {
public:
    explicit StoreRun(Input& in)
        // 32 KiB to 2 MiB: small enough that long cells run out of storage.
        : m_in(in), m_store(std::size_t{32768} << (in.Byte() % 7)) {
        const int columnCount = 1 + in.Byte() % 8;
        for (int i = 0; i < columnCount; ++i) {
            const auto type = static_cast<ColumnType>(in.Byte() % 11);
            const int blockSize = in.Byte() % 12;  // 0 (text), packed 1-4, pooled 5-11
            Check(m_store.AddColumn(type, blockSize) == i);
            m_columns.push_back({type, type == ColumnType::User ? blockSize : 0});
        }
    }

    void Step() {
        switch (m_in.Byte() % 8) {
            case 0:
                AddRow();
                break;
            case 1:
                InsertRow();
                break;
            case 2:
                AddRowTexts();
                break;
            case 3:
                DeleteRow();
                break;
            case 4:
                MoveRow();
                break;
            case 5:
                SetCell();
                break;
            case 6:
                Sort();
                break;
            case 7:
                if (m_in.Byte() % 16 == 0) {
                    m_store.ClearRows();
                    m_model.clear();
                }
                break;
        }
        Check(m_store.RowCount() == Rows());
    }

    void CheckEveryCell() const {
        for (int r = 0; r < m_store.RowCount(); ++r) {
            for (std::size_t c = 0; c < m_columns.size(); ++c) {
                Check(m_store.Cell(r, static_cast<int>(c)) ==
                      m_model[static_cast<std::size_t>(r)][c]);
            }
        }
    }

private:
    int Rows() const { return static_cast<int>(m_model.size()); }
    int Pick(int bound) { return bound <= 0 ? 0 : static_cast<int>(m_in.Short() % bound); }

    // Short, whole or long rows.
    Row RandomRow() {
        Row row;
        const std::size_t cells = m_in.Byte() % (m_columns.size() + 2);
        for (std::size_t c = 0; c < cells; ++c) {
            row.push_back(RandomValue(m_in, m_columns[c % m_columns.size()]));
        }
        return row;
    }

    Row StoredRow(const Row& row) const {
        Row out;
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            out.push_back(Stored(m_columns[c], c < row.size() ? row[c] : GridValue{}));
        }
        return out;
    }

    void AddRow() {
        const Row row = RandomRow();
        const int added = m_store.AddRow(row);
        Check(added == -1 || added == Rows());
        if (added >= 0) {
            m_model.push_back(StoredRow(row));
        }
    }

    void InsertRow() {
        const int at = Pick(Rows() + 1);
        const Row row = RandomRow();
        const int inserted = m_store.InsertRow(at, row);
        Check(inserted == -1 || inserted == at);
        if (inserted >= 0) {
            m_model.insert(m_model.begin() + at, StoredRow(row));
        }
    }

    // Texts: text columns take the text, blocks its Latin-1 bytes, numbers
    // its decimal value.
    void AddRowTexts() {
        std::vector<QString> texts;
        Row row;
        for (const Column& c : m_columns) {
            const GridValue value = RandomValue(m_in, c);
            if (HoldsText(c.type, c.size) || HoldsBlock(c.type, c.size)) {
                texts.push_back(QString::fromLatin1(value.bytes));
                row.push_back(HoldsText(c.type, c.size) ? GridValue::Text(texts.back()) : value);
            } else {
                texts.push_back(QString::number(value.number));
                row.push_back(value);
            }
        }
        const int added = m_store.AddRowTexts(texts);
        Check(added == -1 || added == Rows());
        if (added >= 0) {
            m_model.push_back(StoredRow(row));
        }
    }

    void DeleteRow() {
        const int at = Pick(Rows());
        Check(m_store.DeleteRow(at) == (Rows() > 0));
        if (Rows() > 0) {
            m_model.erase(m_model.begin() + at);
        }
    }

    void MoveRow() {
        const int from = Pick(Rows());
        const int to = Pick(Rows());
        Check(m_store.MoveRow(from, to) == (Rows() > 0));
        if (Rows() > 0) {
            Row moved = m_model[static_cast<std::size_t>(from)];
            m_model.erase(m_model.begin() + from);
            m_model.insert(m_model.begin() + to, moved);
        }
    }

    void SetCell() {
        const int at = Pick(Rows());
        const int column = Pick(static_cast<int>(m_columns.size()));
        const Column& c = m_columns[static_cast<std::size_t>(column)];
        const GridValue value = RandomValue(m_in, c);
        if (m_store.SetCell(at, column, value)) {
            Check(Rows() > 0);
            m_model[static_cast<std::size_t>(at)][static_cast<std::size_t>(column)] =
                Stored(c, value);
        }
    }

    void Sort() {
        const int column = Pick(static_cast<int>(m_columns.size()));
        const bool descending = (m_in.Byte() & 1) != 0;
        Check(m_store.Sort(column, descending) == (Rows() >= 2));
        const Column& c = m_columns[static_cast<std::size_t>(column)];
        const bool bytes = HoldsText(c.type, c.size) || HoldsBlock(c.type, c.size);
        std::stable_sort(m_model.begin(), m_model.end(), [&](const Row& a, const Row& b) {
            const GridValue& x = a[static_cast<std::size_t>(column)];
            const GridValue& y = b[static_cast<std::size_t>(column)];
            if (bytes) {
                // Byte order: QByteArray compares as unsigned bytes.
                return descending ? y.bytes < x.bytes : x.bytes < y.bytes;
            }
            return descending ? y.number < x.number : x.number < y.number;
        });
    }

    Input& m_in;
    GridStore m_store;
    std::vector<Column> m_columns;
    std::vector<Row> m_model;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    StoreRun run(in);
    for (int step = 0; step < 2000 && !in.Empty(); ++step) {
        run.Step();
    }
    run.CheckEveryCell();
    return 0;
}
