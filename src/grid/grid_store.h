#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

// The grid's data model without any widget: typed columns, rows of cells,
// colours per row. Rows are records of 32-bit slots in one growing store;
// texts and data blocks live once in a data pool and the slots refer to them
// by offset. Row order is an index over the records, so insert, delete, move
// and sort shift 32-bit entries, never cell data.
namespace volnar::grid {

enum class ColumnType : int {
    Text = 0,
    Number = 1,
    CheckBox = 2,
    ChoiceList = 3,
    HotKey = 4,
    Button = 5,
    Image = 6,
    Date = 7,
    Time = 8,
    User = 9,
    TextWithButton = 10,
};

inline constexpr int kMaxRows = 65536;
// A row colour of -1 means "the grid's own colour"; every row starts so.
inline constexpr std::int32_t kGridColour = -1;

// One cell value as the caller gives it and gets it back. Text cells (types
// 0, 5, 10, and 9 with no fixed size) use `bytes` as UTF-8 text; a type-9
// column with a fixed size uses `bytes` as exactly that many bytes; every
// other type uses `number`.
struct GridValue {
    QByteArray bytes;
    std::int32_t number = 0;

    static GridValue Text(const QString& text) { return {text.toUtf8(), 0}; }
    static GridValue Bytes(QByteArray block) { return {std::move(block), 0}; }
    static GridValue Number(std::int32_t value) { return {{}, value}; }
    QString ToText() const { return QString::fromUtf8(bytes); }

    friend bool operator==(const GridValue&, const GridValue&) = default;
};

struct RowColours {
    std::int32_t background = kGridColour;
    std::int32_t text = kGridColour;

    friend bool operator==(const RowColours&, const RowColours&) = default;
};

// True for the types whose cells hold text in the data pool (given the
// column's fixed size for type 9).
bool HoldsText(ColumnType type, int fixedSize);
// True for a type-9 column of fixed-size blocks.
inline bool HoldsBlock(ColumnType type, int fixedSize) {
    return type == ColumnType::User && fixedSize > 0;
}

// Plain decimal text to a signed integer: optional "-", then digits up to the
// first other character (wrapping, never undefined).
std::int32_t ParseGridNumber(QStringView text);

// A growable byte block whose new bytes are left uninitialised (the pool is
// written right after it grows, so zero-filling would be wasted work).
class ByteBlock final {
public:
    ByteBlock() = default;
    ByteBlock(const ByteBlock&) = delete;
    ByteBlock& operator=(const ByteBlock&) = delete;

    char* data() { return m_data.get(); }
    const char* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    void reserve(std::size_t capacity);
    // Growing leaves the new bytes as they are; shrinking keeps the capacity.
    void resize(std::size_t size) {
        reserve(size);
        m_size = size;
    }
    // Size `size`, all zeros, and no spare capacity beyond it.
    void reset(std::size_t size);
    void append(const char* bytes, std::size_t count);
    void swap(ByteBlock& other) noexcept;

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

class GridStore final {
public:
    GridStore() { m_pool.reset(4); }

    // Appends a column; its index, or -1 once a row has been stored since the
    // last ClearRows/ClearAll. `fixedSize` is the type-9 block size (0: text).
    int AddColumn(ColumnType type, int fixedSize = 0);
    // Removes every row and every column.
    void ClearAll();
    // Removes every row and all cell data; the columns stay and can be added
    // to again.
    void ClearRows();

    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    int RowCount() const { return static_cast<int>(m_index.size()); }
    bool CanAddColumns() const { return !m_rowsStored; }
    ColumnType TypeOf(int column) const { return m_columns[static_cast<std::size_t>(column)].type; }
    int FixedSizeOf(int column) const {
        return m_columns[static_cast<std::size_t>(column)].fixedSize;
    }
    bool IsColumn(int column) const { return column >= 0 && column < ColumnCount(); }
    bool IsRow(int row) const { return row >= 0 && row < RowCount(); }

    // Appends a row (cells in column order; missing cells are empty, extra
    // ones ignored). Its index, or -1 when the grid holds kMaxRows rows.
    int AddRow(std::span<const GridValue> cells);
    // Inserts before `position` (the row count appends); -1 when full or the
    // position is out of range.
    int InsertRow(int position, std::span<const GridValue> cells);
    // Appends a row given as texts: text columns store the text (UTF-8,
    // written straight into the pool), fixed blocks its Latin-1 bytes, the
    // other types its decimal value. -1 when full.
    int AddRowTexts(std::span<const QString> texts);
    bool DeleteRow(int row);
    // Moves the row at `from` to position `to`; both must be rows.
    bool MoveRow(int from, int to);

    // The cell's value (see GridValue); an empty value for a cell out of
    // range. A fixed-size block always comes back with its full size.
    GridValue Cell(int row, int column) const;
    // The raw bytes of a text or block cell, valid until the next change.
    std::string_view CellBytes(int row, int column) const;
    std::int32_t CellNumber(int row, int column) const;
    bool SetCell(int row, int column, const GridValue& value);

    RowColours Colours(int row) const;
    bool SetColours(int row, RowColours colours);

    // Sorts by the column when there are two or more rows: texts and blocks
    // byte by byte, other types as signed 32-bit values; equal cells keep
    // their order. False when nothing was sorted.
    bool Sort(int column, bool descending);

    // Bytes held by the store (capacity of every block).
    std::size_t MemoryBytes() const;
    // Pool bytes no cell refers to any more (replaced or deleted cells).
    std::size_t GarbageBytes() const { return m_garbage; }

private:
    struct Column {
        ColumnType type;
        int fixedSize;
    };
    static constexpr std::size_t kGrowStep = 131072;

    std::size_t Stride() const { return m_columns.size() + 2; }
    std::uint32_t* Record(int row);
    const std::uint32_t* Record(int row) const;
    std::uint32_t NewRecord();
    std::uint32_t StoreValue(int column, const GridValue& value);
    std::uint32_t StoreText(QStringView text);
    void ForgetSlot(int column, std::uint32_t slot);
    std::size_t EntrySize(int column, std::uint32_t slot) const;
    void Reserve(ByteBlock& block, std::size_t needed);
    void CompactPool();

    std::vector<Column> m_columns;
    std::vector<std::uint32_t> m_records;  // 2 colour words + one slot per column
    std::vector<std::uint32_t> m_index;    // row -> record number
    std::vector<std::uint32_t> m_freeRecords;
    ByteBlock m_pool;  // starts with 4 bytes: offset 0 means "empty"
    std::size_t m_garbage = 0;
    bool m_rowsStored = false;
};

}  // namespace volnar::grid
