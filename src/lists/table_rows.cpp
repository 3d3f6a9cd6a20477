// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/table_rows.h"

#include "core/text_rules.h"

namespace volnar {

namespace {

QString Column(const QStringList& cells, ListColumn column) {
    return cells.value(static_cast<qsizetype>(column));
}

}  // namespace

ListRow ListRowOfFields(const QStringList& fields, int details) {
    ListRow row{fields.value(0), fields.value(1), fields.value(2), fields.value(3), {}};
    for (int i = 0; i < details; ++i) {
        row.details << fields.value(4 + i);
    }
    return row;
}

QStringList ListCells(const ListRow& row) {
    QStringList cells{row.id,
                      text::ToUpperAscii(row.type),
                      row.name,
                      row.description,
                      QString::number(kEditImage),
                      QString::number(kDeleteImage),
                      QString::number(kExecuteImage)};
    return cells + row.details;
}

ListRow ListRowOfCells(const QStringList& cells) {
    const auto details = static_cast<qsizetype>(ListColumn::Details);
    return {Column(cells, ListColumn::Id), Column(cells, ListColumn::Type),
            Column(cells, ListColumn::Name), Column(cells, ListColumn::Description),
            cells.size() > details ? cells.mid(details) : QStringList()};
}

}  // namespace volnar
