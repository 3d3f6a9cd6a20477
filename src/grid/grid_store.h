// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>
#include <type_traits>
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

// A growable block of plain values kept with malloc/realloc: new elements are
// left uninitialised unless asked for (they are written right away), and a
// large block grows in place or by remapping its pages rather than by copying
// them.
template <typename T>
class PodBlock final {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PodBlock() = default;
    ~PodBlock() { std::free(m_data); }
    PodBlock(const PodBlock&) = delete;
    PodBlock& operator=(const PodBlock&) = delete;

    T* data() { return m_data; }
    const T* data() const { return m_data; }
    T& operator[](std::size_t i) { return m_data[i]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }
    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    // False (and nothing changed) when the memory cannot be had.
    bool reserve(std::size_t capacity) {
        if (capacity <= m_capacity) {
            return true;
        }
        if (capacity > SIZE_MAX / sizeof(T)) {
            return false;
        }
        void* grown = std::realloc(m_data, capacity * sizeof(T));
        if (grown == nullptr) {
            return false;
        }
        m_data = static_cast<T*>(grown);
        m_capacity = capacity;
        return true;
    }
    // Growing leaves the new elements as they are; shrinking keeps the
    // capacity. The caller has reserved the room.
    void resize(std::size_t size) { m_size = size; }
    // Empty, all memory released.
    void release() {
        std::free(m_data);
        m_data = nullptr;
        m_size = 0;
        m_capacity = 0;
    }
    void swap(PodBlock& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

private:
    T* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

class GridStore final {
public:
    // `memoryLimit` caps the bytes the store's blocks may hold together
    // (MemoryBytes); an operation that would need more is refused.
    explicit GridStore(std::size_t memoryLimit = SIZE_MAX) : m_memoryLimit(memoryLimit) {
        ResetPool();
    }

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
    // ones ignored). Its index, or -1 when the grid holds kMaxRows rows or
    // the storage cannot grow; on -1 nothing has changed.
    int AddRow(std::span<const GridValue> cells);
    // Inserts before `position` (the row count appends); -1 (nothing changed)
    // when full, out of range or out of storage.
    int InsertRow(int position, std::span<const GridValue> cells);
    // Makes room for one more row of these cells, so that the next AddRow or
    // InsertRow of them cannot fail for storage. False when it cannot be had.
    bool ReserveRow(std::span<const GridValue> cells);
    // Appends a row given as texts: text columns store the text (UTF-8,
    // written straight into the pool), fixed blocks its Latin-1 bytes, the
    // other types its decimal value. -1 (nothing changed) when full or out of
    // storage.
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
    // False (the cell unchanged) for a cell out of range or when the storage
    // cannot grow for the value.
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
        bool text;  // HoldsText, worked out once
    };
    static constexpr std::size_t kGrowStep = 131072;
    static constexpr std::uint32_t kNoRecord = 0xFFFFFFFFu;

    std::size_t Stride() const { return m_columns.size() + 2; }
    std::uint32_t* Record(int row);
    const std::uint32_t* Record(int row) const;
    std::uint32_t NewRecord();
    // Pool bytes a value of the column takes (0 for values kept in the slot).
    std::size_t PoolRoom(int column, const GridValue& value) const;
    // Room for `room` more pool bytes, within 4 GiB of offsets and the limit.
    bool ReservePool(std::size_t room);
    // Room for one more row in the index.
    bool ReserveIndex();
    // The pool has room for the value (see PoolRoom): never fails.
    std::uint32_t StoreValue(int column, const GridValue& value);
    void ForgetSlot(int column, std::uint32_t slot);
    std::size_t EntrySize(int column, std::uint32_t slot) const;
    // Grows a block by at least a step and half its size (or just to
    // `needed` near the limit); false when the memory cannot be had.
    template <typename T>
    bool Reserve(PodBlock<T>& block, std::size_t needed);
    void ResetPool();
    void CompactPool();

    std::vector<Column> m_columns;
    PodBlock<std::uint32_t> m_records;   // 2 colour words + one slot per column
    std::vector<std::uint32_t> m_index;  // row -> record number
    std::vector<std::uint32_t> m_freeRecords;
    PodBlock<char> m_pool;  // starts with 4 bytes: offset 0 means "empty"
    std::size_t m_garbage = 0;
    // Qt's UTF-8 encoder (with its fast ASCII path), made once per store.
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    std::size_t m_memoryLimit;
    bool m_rowsStored = false;
};

}  // namespace volnar::grid
