// volnar-bench-grid: 65,536 rows of 12 text columns into MyRAGrid and into a
// QStandardItemModel shown by a QTableView, with the same texts. Each side is
// timed from the first row to the view knowing every row (best of several
// rounds) and its heap growth is measured with mallinfo2. Prints name=value
// lines, time_ratio last (grid / standard; below 1 is better). The heap
// is measured in a first round, the time in the rounds after it.
#include <malloc.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "grid/my_ra_grid.h"

namespace {

constexpr int kRows = 65536;
constexpr int kColumns = 12;
constexpr int kRounds = 3;

// The texts both sides store: short, varied, like a list's cells.
QString CellText(int row, int column) {
    return QStringLiteral("r%1c%2").arg(row).arg(column);
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Result {
    double milliseconds = 0;
    std::size_t bytes = 0;
};

Result FillGrid(const std::vector<QStringList>& texts, bool trim) {
    if (trim) {
        malloc_trim(0);
    }
    const std::size_t before = HeapInUse();
    QElapsedTimer timer;
    timer.start();
    auto* grid = new volnar::grid::MyRAGrid;
    grid->resize(800, 600);
    for (int c = 0; c < kColumns; ++c) {
        volnar::grid::GridColumn column;
        column.type = volnar::grid::ColumnType::User;
        column.width = 60;
        column.headerText = QString::number(c);
        grid->AddColumn(column);
    }
    grid->show();
    for (const QStringList& row : texts) {
        grid->AddRowTexts(row);
    }
    QCoreApplication::processEvents();
    Result result;
    result.milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    result.bytes = HeapInUse() - before;
    if (grid->RowCount() != kRows) {
        std::fprintf(stderr, "volnar-bench-grid: the grid holds %d rows\n", grid->RowCount());
        std::exit(1);
    }
    delete grid;
    return result;
}

Result FillStandard(const std::vector<QStringList>& texts, bool trim) {
    if (trim) {
        malloc_trim(0);
    }
    const std::size_t before = HeapInUse();
    QElapsedTimer timer;
    timer.start();
    auto* view = new QTableView;
    auto* model = new QStandardItemModel(0, kColumns, view);
    view->resize(800, 600);
    view->verticalHeader()->hide();
    view->setModel(model);
    view->show();
    for (const QStringList& row : texts) {
        QList<QStandardItem*> items;
        items.reserve(kColumns);
        for (const QString& text : row) {
            items << new QStandardItem(text);
        }
        model->appendRow(items);
    }
    QCoreApplication::processEvents();
    Result result;
    result.milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    result.bytes = HeapInUse() - before;
    if (model->rowCount() != kRows) {
        std::fprintf(stderr, "volnar-bench-grid: the model holds %d rows\n", model->rowCount());
        std::exit(1);
    }
    delete view;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::vector<QStringList> texts(kRows);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            texts[static_cast<std::size_t>(row)] << CellText(row, column);
        }
    }
    Result grid{1e300, 0};
    Result standard{1e300, 0};
    // Round 0 measures the heap each side keeps (starting from a trimmed
    // heap); the timed rounds after it run on a warm heap, as a long-running
    // client does.
    for (int round = 0; round <= kRounds; ++round) {
        const bool measureMemory = round == 0;
        const Result g = FillGrid(texts, measureMemory);
        const Result s = FillStandard(texts, measureMemory);
        if (measureMemory) {
            grid.bytes = g.bytes;
            standard.bytes = s.bytes;
            continue;
        }
        grid.milliseconds = std::min(grid.milliseconds, g.milliseconds);
        standard.milliseconds = std::min(standard.milliseconds, s.milliseconds);
    }
    QTextStream out(stdout);
    out << "rows=" << kRows << "\n";
    out << "columns=" << kColumns << "\n";
    out << "grid_ms=" << QString::number(grid.milliseconds, 'f', 2) << "\n";
    out << "standard_ms=" << QString::number(standard.milliseconds, 'f', 2) << "\n";
    out << "grid_bytes=" << grid.bytes << "\n";
    out << "standard_bytes=" << standard.bytes << "\n";
    out << "memory_ratio="
        << QString::number(static_cast<double>(grid.bytes) / static_cast<double>(standard.bytes),
                           'f', 4)
        << "\n";
    out << "time_ratio=" << QString::number(grid.milliseconds / standard.milliseconds, 'f', 4)
        << "\n";
    return 0;
}
