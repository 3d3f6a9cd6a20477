// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid/grid_store.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace volnar::grid {

namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);

std::uint32_t ReadWord(const char* at) {
    std::uint32_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return word;
}

void WriteWord(char* at, std::uint32_t word) {
    std::memcpy(at, &word, sizeof word);
}

int CompareBytes(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    if (common != 0) {
        if (const int order = std::memcmp(a.data(), b.data(), common); order != 0) {
            return order;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace

bool HoldsText(ColumnType type, int fixedSize) {
    return type == ColumnType::Text || type == ColumnType::Button ||
           type == ColumnType::TextWithButton || (type == ColumnType::User && fixedSize <= 0);
}

int GridStore::AddColumn(ColumnType type, int fixedSize) {
    if (m_rowsStored) {
        return -1;
    }
    const int size = type == ColumnType::User ? std::max(0, fixedSize) : 0;
    m_columns.push_back({type, size, HoldsText(type, size)});
    return ColumnCount() - 1;
}

void GridStore::ClearAll() {
    ClearRows();
    m_columns.clear();
}

void GridStore::ClearRows() {
    m_records.release();
    m_index.clear();
    m_index.shrink_to_fit();
    m_freeRecords.clear();
    m_freeRecords.shrink_to_fit();
    ResetPool();
    m_garbage = 0;
    m_rowsStored = false;
}

std::uint32_t* GridStore::Record(int row) {
    return m_records.data() + m_index[static_cast<std::size_t>(row)] * Stride();
}

const std::uint32_t* GridStore::Record(int row) const {
    return m_records.data() + m_index[static_cast<std::size_t>(row)] * Stride();
}

std::uint32_t GridStore::NewRecord() {
    if (!m_freeRecords.empty()) {
        const std::uint32_t record = m_freeRecords.back();
        m_freeRecords.pop_back();
        return record;
    }
    const std::size_t record = m_records.size() / Stride();
    if (!Reserve(m_records, m_records.size() + Stride())) {
        return kNoRecord;
    }
    std::memset(m_records.data() + m_records.size(), 0, Stride() * sizeof(std::uint32_t));
    m_records.resize(m_records.size() + Stride());
    return static_cast<std::uint32_t>(record);
}

template <typename T>
bool GridStore::Reserve(PodBlock<T>& block, std::size_t needed) {
    if (needed <= block.capacity()) {
        return true;
    }
    if (needed > SIZE_MAX / sizeof(T)) {
        return false;
    }
    // What every other block holds, so that the limit counts the whole store.
    const std::size_t others = MemoryBytes() - block.capacity() * sizeof(T);
    const auto fits = [&](std::size_t capacity) {
        return others <= m_memoryLimit && capacity <= (m_memoryLimit - others) / sizeof(T);
    };
    const std::size_t step = std::max<std::size_t>(kGrowStep / sizeof(T), block.capacity() / 2);
    const std::size_t grown = std::max(needed, block.capacity() + step);
    if (fits(grown) && block.reserve(grown)) {
        return true;
    }
    return fits(needed) && block.reserve(needed);
}

std::size_t GridStore::PoolRoom(int column, const GridValue& value) const {
    const Column& c = m_columns[static_cast<std::size_t>(column)];
    if (HoldsBlock(c.type, c.fixedSize)) {
        return value.bytes.isEmpty() || c.fixedSize <= static_cast<int>(sizeof(std::uint32_t))
                   ? 0
                   : static_cast<std::size_t>(c.fixedSize);
    }
    if (!c.text || value.bytes.isEmpty()) {
        return 0;
    }
    return kLengthBytes + static_cast<std::size_t>(value.bytes.size());
}

bool GridStore::ReservePool(std::size_t room) {
    // Offsets are 32 bits: a pool that would pass 4 GiB is out of storage.
    if (room > std::numeric_limits<std::uint32_t>::max() - m_pool.size()) {
        return false;
    }
    return Reserve(m_pool, m_pool.size() + room);
}

void GridStore::ResetPool() {
    m_pool.release();
    m_pool.reserve(kLengthBytes);
    std::memset(m_pool.data(), 0, kLengthBytes);
    m_pool.resize(kLengthBytes);
}

// Slot value for a cell: the number itself, a block of up to four bytes
// packed into the slot, or the offset of a pool entry (0 when empty). The
// caller has reserved PoolRoom for it.
std::uint32_t GridStore::StoreValue(int column, const GridValue& value) {
    const Column& c = m_columns[static_cast<std::size_t>(column)];
    if (HoldsBlock(c.type, c.fixedSize)) {
        if (value.bytes.isEmpty()) {
            return 0;
        }
        const std::size_t size = static_cast<std::size_t>(c.fixedSize);
        const std::size_t copied = std::min(size, static_cast<std::size_t>(value.bytes.size()));
        if (size <= sizeof(std::uint32_t)) {
            char packed[sizeof(std::uint32_t)] = {};
            std::memcpy(packed, value.bytes.constData(), copied);
            return ReadWord(packed);
        }
        const std::size_t offset = m_pool.size();
        m_pool.resize(offset + size);
        std::memset(m_pool.data() + offset, 0, size);
        std::memcpy(m_pool.data() + offset, value.bytes.constData(), copied);
        return static_cast<std::uint32_t>(offset);
    }
    if (!HoldsText(c.type, c.fixedSize)) {
        return static_cast<std::uint32_t>(value.number);
    }
    if (value.bytes.isEmpty()) {
        return 0;
    }
    const std::size_t length = static_cast<std::size_t>(value.bytes.size());
    const std::size_t offset = m_pool.size();
    m_pool.resize(offset + kLengthBytes + length);
    WriteWord(m_pool.data() + offset, static_cast<std::uint32_t>(length));
    std::memcpy(m_pool.data() + offset + kLengthBytes, value.bytes.constData(), length);
    return static_cast<std::uint32_t>(offset);
}

std::size_t GridStore::EntrySize(int column, std::uint32_t slot) const {
    const Column& c = m_columns[static_cast<std::size_t>(column)];
    if (slot == 0) {
        return 0;
    }
    if (HoldsBlock(c.type, c.fixedSize)) {
        return c.fixedSize > static_cast<int>(sizeof(std::uint32_t))
                   ? static_cast<std::size_t>(c.fixedSize)
                   : 0;
    }
    if (HoldsText(c.type, c.fixedSize)) {
        return kLengthBytes + ReadWord(m_pool.data() + slot);
    }
    return 0;
}

void GridStore::ForgetSlot(int column, std::uint32_t slot) {
    m_garbage += EntrySize(column, slot);
}

std::int32_t ParseGridNumber(QStringView text) {
    std::uint32_t value = 0;
    qsizetype at = 0;
    const bool negative = !text.isEmpty() && text.at(0) == QLatin1Char('-');
    if (negative) {
        at = 1;
    }
    for (; at < text.size(); ++at) {
        const char16_t c = text.at(at).unicode();
        if (c < u'0' || c > u'9') {
            break;
        }
        value = value * 10u + static_cast<std::uint32_t>(c - u'0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

int GridStore::AddRowTexts(std::span<const QString> texts) {
    if (RowCount() >= kMaxRows) {
        return -1;
    }
    const std::size_t columns = m_columns.size();
    const std::size_t given = std::min(columns, texts.size());
    // Room for the whole row's texts and blocks at once (UTF-8 takes at most
    // three bytes per UTF-16 unit), so the cells below never grow the pool
    // themselves.
    std::size_t room = 0;
    for (std::size_t column = 0; column < given; ++column) {
        const Column& c = m_columns[column];
        if (c.text) {
            room += kLengthBytes + 3 * static_cast<std::size_t>(texts[column].size());
        } else if (HoldsBlock(c.type, c.fixedSize) && !texts[column].isEmpty() &&
                   c.fixedSize > static_cast<int>(sizeof(std::uint32_t))) {
            room += static_cast<std::size_t>(c.fixedSize);
        }
    }
    if (!ReservePool(room) || !ReserveIndex()) {
        return -1;
    }
    const std::uint32_t record = NewRecord();
    if (record == kNoRecord) {
        return -1;
    }
    std::uint32_t* words = m_records.data() + record * Stride();
    words[0] = static_cast<std::uint32_t>(kGridColour);
    words[1] = static_cast<std::uint32_t>(kGridColour);
    for (std::size_t column = 0; column < columns; ++column) {
        const Column& c = m_columns[column];
        const QStringView text = column < given ? QStringView(texts[column]) : QStringView();
        std::uint32_t slot = 0;
        if (c.text) {
            if (!text.isEmpty()) {
                // Written in place: the room was reserved above.
                const std::size_t offset = m_pool.size();
                char* start = m_pool.data() + offset + kLengthBytes;
                const std::size_t length =
                    static_cast<std::size_t>(m_utf8.appendToBuffer(start, text) - start);
                WriteWord(m_pool.data() + offset, static_cast<std::uint32_t>(length));
                m_pool.resize(offset + kLengthBytes + length);
                slot = static_cast<std::uint32_t>(offset);
            }
        } else if (HoldsBlock(c.type, c.fixedSize)) {
            slot = StoreValue(static_cast<int>(column), GridValue::Bytes(text.toLatin1()));
        } else {
            slot = static_cast<std::uint32_t>(ParseGridNumber(text));
        }
        words[2 + column] = slot;
    }
    m_index.push_back(record);  // room reserved above
    m_rowsStored = true;
    return RowCount() - 1;
}

int GridStore::AddRow(std::span<const GridValue> cells) {
    return InsertRow(RowCount(), cells);
}

bool GridStore::ReserveIndex() {
    if (m_index.size() < m_index.capacity()) {
        return true;
    }
    const std::size_t step = std::max(kGrowStep / sizeof(std::uint32_t), m_index.capacity() / 2);
    const std::size_t others = MemoryBytes() - m_index.capacity() * sizeof(std::uint32_t);
    const std::size_t capacity = m_index.capacity() + step;
    if (others > m_memoryLimit || capacity > (m_memoryLimit - others) / sizeof(std::uint32_t)) {
        return false;
    }
    m_index.reserve(capacity);
    return true;
}

bool GridStore::ReserveRow(std::span<const GridValue> cells) {
    std::size_t room = 0;
    const std::size_t given = std::min(m_columns.size(), cells.size());
    for (std::size_t column = 0; column < given; ++column) {
        room += PoolRoom(static_cast<int>(column), cells[column]);
    }
    if (!ReservePool(room) || !ReserveIndex()) {
        return false;
    }
    return !m_freeRecords.empty() || Reserve(m_records, m_records.size() + Stride());
}

int GridStore::InsertRow(int position, std::span<const GridValue> cells) {
    if (RowCount() >= kMaxRows || position < 0 || position > RowCount()) {
        return -1;
    }
    if (!ReserveRow(cells)) {
        return -1;
    }
    const std::uint32_t record = NewRecord();
    if (record == kNoRecord) {
        return -1;
    }
    std::uint32_t* words = m_records.data() + record * Stride();
    words[0] = static_cast<std::uint32_t>(kGridColour);
    words[1] = static_cast<std::uint32_t>(kGridColour);
    for (int column = 0; column < ColumnCount(); ++column) {
        words[2 + column] = static_cast<std::size_t>(column) < cells.size()
                                ? StoreValue(column, cells[static_cast<std::size_t>(column)])
                                : StoreValue(column, GridValue{});
    }
    m_index.insert(m_index.begin() + position, record);  // room reserved above
    m_rowsStored = true;
    return position;
}

bool GridStore::DeleteRow(int row) {
    if (!IsRow(row)) {
        return false;
    }
    std::uint32_t* words = Record(row);
    for (int column = 0; column < ColumnCount(); ++column) {
        ForgetSlot(column, words[2 + column]);
        words[2 + column] = 0;
    }
    m_freeRecords.push_back(m_index[static_cast<std::size_t>(row)]);
    m_index.erase(m_index.begin() + row);
    CompactPool();
    return true;
}

bool GridStore::MoveRow(int from, int to) {
    if (!IsRow(from) || !IsRow(to)) {
        return false;
    }
    const std::uint32_t record = m_index[static_cast<std::size_t>(from)];
    m_index.erase(m_index.begin() + from);
    m_index.insert(m_index.begin() + to, record);
    return true;
}

std::string_view GridStore::CellBytes(int row, int column) const {
    if (!IsRow(row) || !IsColumn(column)) {
        return {};
    }
    const Column& c = m_columns[static_cast<std::size_t>(column)];
    const std::uint32_t slot = Record(row)[2 + column];
    if (HoldsText(c.type, c.fixedSize)) {
        if (slot == 0) {
            return {};
        }
        return {m_pool.data() + slot + kLengthBytes, ReadWord(m_pool.data() + slot)};
    }
    if (HoldsBlock(c.type, c.fixedSize) && c.fixedSize > static_cast<int>(sizeof(std::uint32_t)) &&
        slot != 0) {
        return {m_pool.data() + slot, static_cast<std::size_t>(c.fixedSize)};
    }
    return {};
}

std::int32_t GridStore::CellNumber(int row, int column) const {
    if (!IsRow(row) || !IsColumn(column)) {
        return 0;
    }
    return static_cast<std::int32_t>(Record(row)[2 + column]);
}

GridValue GridStore::Cell(int row, int column) const {
    if (!IsRow(row) || !IsColumn(column)) {
        return {};
    }
    const Column& c = m_columns[static_cast<std::size_t>(column)];
    if (HoldsBlock(c.type, c.fixedSize)) {
        const std::uint32_t slot = Record(row)[2 + column];
        QByteArray block(c.fixedSize, '\0');
        if (c.fixedSize <= static_cast<int>(sizeof(std::uint32_t))) {
            char packed[sizeof(std::uint32_t)];
            WriteWord(packed, slot);
            std::memcpy(block.data(), packed, static_cast<std::size_t>(c.fixedSize));
        } else if (slot != 0) {
            std::memcpy(block.data(), m_pool.data() + slot, static_cast<std::size_t>(c.fixedSize));
        }
        return GridValue::Bytes(block);
    }
    if (HoldsText(c.type, c.fixedSize)) {
        const std::string_view bytes = CellBytes(row, column);
        return GridValue::Bytes(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return GridValue::Number(CellNumber(row, column));
}

bool GridStore::SetCell(int row, int column, const GridValue& value) {
    if (!IsRow(row) || !IsColumn(column)) {
        return false;
    }
    if (!ReservePool(PoolRoom(column, value))) {
        return false;
    }
    const std::uint32_t slot = StoreValue(column, value);
    std::uint32_t* words = Record(row);
    ForgetSlot(column, words[2 + column]);
    words[2 + column] = slot;
    CompactPool();
    return true;
}

RowColours GridStore::Colours(int row) const {
    if (!IsRow(row)) {
        return {};
    }
    const std::uint32_t* words = Record(row);
    return {static_cast<std::int32_t>(words[0]), static_cast<std::int32_t>(words[1])};
}

bool GridStore::SetColours(int row, RowColours colours) {
    if (!IsRow(row)) {
        return false;
    }
    std::uint32_t* words = Record(row);
    words[0] = static_cast<std::uint32_t>(colours.background);
    words[1] = static_cast<std::uint32_t>(colours.text);
    return true;
}

bool GridStore::Sort(int column, bool descending) {
    if (!IsColumn(column) || RowCount() < 2) {
        return false;
    }
    const Column& c = m_columns[static_cast<std::size_t>(column)];
    const std::size_t stride = Stride();
    const std::size_t slotAt = 2 + static_cast<std::size_t>(column);
    const bool text = HoldsText(c.type, c.fixedSize);
    const bool block = HoldsBlock(c.type, c.fixedSize);
    const std::size_t blockSize = static_cast<std::size_t>(c.fixedSize);
    const std::string zeros(block ? blockSize : 0, '\0');

    // Each row's key is read once: the bytes of a text or block (an empty
    // block reads as zeros; a small block is its packed bytes), or the slot
    // as a signed number.
    struct Key {
        std::uint32_t record;
        std::size_t position;
        std::string_view bytes;
        std::uint32_t packed;
    };
    std::vector<Key> keys;
    keys.reserve(m_index.size());
    for (std::size_t i = 0; i < m_index.size(); ++i) {
        const std::uint32_t record = m_index[i];
        const std::uint32_t slot = m_records[record * stride + slotAt];
        Key key{record, i, {}, slot};
        if (text && slot != 0) {
            key.bytes = {m_pool.data() + slot + kLengthBytes, ReadWord(m_pool.data() + slot)};
        } else if (block && blockSize > sizeof(std::uint32_t)) {
            key.bytes = slot == 0 ? std::string_view(zeros)
                                  : std::string_view(m_pool.data() + slot, blockSize);
        }
        keys.push_back(key);
    }
    auto compare = [&](const Key& a, const Key& b) {
        if (text || (block && blockSize > sizeof(std::uint32_t))) {
            return CompareBytes(a.bytes, b.bytes);
        }
        if (block) {
            char pa[sizeof(std::uint32_t)];
            char pb[sizeof(std::uint32_t)];
            WriteWord(pa, a.packed);
            WriteWord(pb, b.packed);
            return CompareBytes({pa, blockSize}, {pb, blockSize});
        }
        const auto na = static_cast<std::int32_t>(a.packed);
        const auto nb = static_cast<std::int32_t>(b.packed);
        return na < nb ? -1 : (na > nb ? 1 : 0);
    };
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        const int order = compare(a, b);
        if (order == 0) {
            return a.position < b.position;  // equal cells keep their order
        }
        return descending ? order > 0 : order < 0;
    });
    for (std::size_t i = 0; i < keys.size(); ++i) {
        m_index[i] = keys[i].record;
    }
    return true;
}

std::size_t GridStore::MemoryBytes() const {
    return m_records.capacity() * sizeof(std::uint32_t) +
           m_index.capacity() * sizeof(std::uint32_t) +
           m_freeRecords.capacity() * sizeof(std::uint32_t) + m_pool.capacity() +
           m_columns.capacity() * sizeof(Column);
}

// Rewrites the pool without the entries no cell refers to, once they are
// both more than half of it and more than one growth step: replacing cells
// again and again then never lets the pool grow without bound.
void GridStore::CompactPool() {
    if (m_garbage < kGrowStep || m_garbage * 2 < m_pool.size()) {
        return;
    }
    PodBlock<char> pool;
    if (!pool.reserve(m_pool.size() - m_garbage + kGrowStep)) {
        return;  // no memory for a fresh pool: keep the old one as it is
    }
    std::memset(pool.data(), 0, kLengthBytes);
    pool.resize(kLengthBytes);
    for (const std::uint32_t record : m_index) {
        std::uint32_t* words = m_records.data() + record * Stride();
        for (int column = 0; column < ColumnCount(); ++column) {
            const std::size_t size = EntrySize(column, words[2 + column]);
            if (size == 0) {
                continue;
            }
            const std::size_t offset = pool.size();
            std::memcpy(pool.data() + offset, m_pool.data() + words[2 + column], size);
            pool.resize(offset + size);
            words[2 + column] = static_cast<std::uint32_t>(offset);
        }
    }
    m_pool.swap(pool);
    m_garbage = 0;
}

}  // namespace volnar::grid
