// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The rows of the station's scripts and alerts tables as their lists show
// them. The link hands over a walked row's fields; only this file knows
// which grid column holds what.
namespace volnar {

// The columns of a table list, in grid order: the four shown fields, the
// three action images, then the hidden columns that keep the row's further
// fields (fields 5 onward) whole for its editor.
enum class ListColumn : int { Id, Type, Name, Description, Edit, Delete, Execute, Details };

// Images of a list's action columns, as the cells name them.
inline constexpr int kExecuteImage = 0;
inline constexpr int kDeleteImage = 1;
inline constexpr int kEditImage = 2;

// A listed row: its first four fields and the ones after, each whole.
struct ListRow {
    QString id;
    QString type;  // as listed (the list shows it in capitals)
    QString name;
    QString description;
    QStringList details;  // fields 5 onward

    friend bool operator==(const ListRow&, const ListRow&) = default;
};

// A walked row's fields (field 1 first) as a row with `details` further
// fields; missing fields are empty.
ListRow ListRowOfFields(const QStringList& fields, int details);
// The grid cells of a row: ID, Type in capitals (a to z only), Name,
// Description, the edit, delete and execute images, then the details.
QStringList ListCells(const ListRow& row);
// The row a list shows in `cells` (as ListCells made them).
ListRow ListRowOfCells(const QStringList& cells);

}  // namespace volnar
