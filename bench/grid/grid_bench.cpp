// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-bench-grid: 65,536 rows of 12 text columns into MyRAGrid and into a
// QStandardItemModel shown by a QTableView, with the same texts. Each side is
// timed from the first row to the view knowing every row and its heap growth
// is measured with mallinfo2. The heap is measured in a first round; then the
// two sides run alternately, one of each per timed round, for
// VOLNAR_BENCH_ROUNDS rounds (at least 7), and the figures are the medians,
// with the spread of the per-round ratio (time_ratio_min/_max). Prints only
// name=value lines, time_ratio last (grid / standard; below 1 is better).
#include <malloc.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "grid/my_ra_grid.h"

namespace {

constexpr int kRows = 65536;
constexpr int kColumns = 12;

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
    qInstallMessageHandler(volnar::bench::FilterQtMessages);
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
    // Round 0 measures the heap each side keeps (starting from a trimmed
    // heap); the timed rounds after it run on a warm heap, as a long-running
    // client does, the two sides taking turns to go first.
    const Result gridMemory = FillGrid(texts, true);
    const Result standardMemory = FillStandard(texts, true);
    const int rounds = volnar::bench::RoundsFromEnvironment("VOLNAR_BENCH_ROUNDS");
    std::vector<double> gridMs;
    std::vector<double> standardMs;
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        double g = 0;
        double s = 0;
        if (round % 2 == 0) {
            g = FillGrid(texts, false).milliseconds;
            s = FillStandard(texts, false).milliseconds;
        } else {
            s = FillStandard(texts, false).milliseconds;
            g = FillGrid(texts, false).milliseconds;
        }
        gridMs.push_back(g);
        standardMs.push_back(s);
        ratios.push_back(g / s);
    }
    std::printf("rows=%d\n", kRows);
    std::printf("columns=%d\n", kColumns);
    std::printf("rounds=%d\n", rounds);
    volnar::bench::PrintSpread("grid_ms", volnar::bench::SpreadOf(gridMs), 2);
    volnar::bench::PrintSpread("standard_ms", volnar::bench::SpreadOf(standardMs), 2);
    std::printf("grid_bytes=%zu\n", gridMemory.bytes);
    std::printf("standard_bytes=%zu\n", standardMemory.bytes);
    std::printf("memory_ratio=%.4f\n",
                static_cast<double>(gridMemory.bytes) / static_cast<double>(standardMemory.bytes));
    volnar::bench::PrintSpread("time_ratio", volnar::bench::SpreadOf(ratios), 4);
    return 0;
}
