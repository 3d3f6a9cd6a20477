// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid/my_ra_grid.h"
#include "grid/grid_view.h"

#include <gtest/gtest.h>

#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <algorithm>
#include <functional>
#include <optional>
#include <set>

#include "support/qt_print.h"

namespace volnar::grid {
namespace {

using Code = GridNotificationCode;

// Records every notification; cancels the codes in `cancel` and lets a test
// act on them through `react`.
struct Recorder {
    explicit Recorder(MyRAGrid& grid) {
        QObject::connect(&grid, &MyRAGrid::Notified, &grid, [this](GridNotification* n) {
            seen.push_back(*n);
            values.push_back(n->data != nullptr ? *n->data : GridValue{});
            if (react) {
                react(*n);
            }
            if (cancel.count(n->code) != 0) {
                n->cancel = true;
            }
        });
    }
    int Count(Code code) const {
        return static_cast<int>(std::count_if(seen.begin(), seen.end(),
                                              [code](const auto& n) { return n.code == code; }));
    }
    const GridNotification* Last(Code code) const {
        for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
            if (it->code == code) {
                return &*it;
            }
        }
        return nullptr;
    }
    std::vector<GridNotification> seen;
    std::vector<GridValue> values;
    std::set<Code> cancel;
    std::function<void(GridNotification&)> react;
};

GridColumn Col(ColumnType type, int width = 60, const char* header = "H", int textMax = 0) {
    GridColumn c;
    c.type = type;
    c.width = width;
    c.headerText = QString::fromLatin1(header);
    c.textMax = textMax;
    return c;
}

class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid = std::make_unique<MyRAGrid>();
        grid->resize(500, 300);
    }
    void TearDown() override { grid.reset(); }

    QTableView* View() const { return grid->findChild<QTableView*>(QStringLiteral("gridBody")); }
    QPoint CellCentre(int row, int column) const { return grid->CellRect(row, column).center(); }
    void Show() {
        grid->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
    }

    std::unique_ptr<MyRAGrid> grid;
};

// Lefts are the sum of the widths before; a zero height is ignored; columns
// come before rows, and ClearRows keeps them.
TEST_F(GridTest, ColumnGeometryAndColumnsOnlyBeforeRows) {
    grid->AddColumn(Col(ColumnType::Text, 35, "Name"));
    grid->AddColumn(Col(ColumnType::Text, 75));
    grid->AddColumn(Col(ColumnType::Text, 150));
    EXPECT_EQ(grid->Column(2)->left, 110);
    grid->SetColumnWidth(0, 10);
    EXPECT_EQ(grid->Column(2)->left, 85);
    EXPECT_EQ(grid->ColumnWidth(0), 10);
    grid->SetRowHeight(20);
    grid->SetRowHeight(0);
    EXPECT_EQ(grid->RowHeight(), 20);
    EXPECT_EQ(View()->verticalHeader()->defaultSectionSize(), 20);
    grid->SetHeaderHeight(0);
    EXPECT_EQ(grid->HeaderHeight(), MyRAGrid::kDefaultHeight);

    ASSERT_EQ(grid->AddRowTexts({QStringLiteral("a")}), 0);
    EXPECT_EQ(grid->AddColumn(Col(ColumnType::Text)), -1);
    grid->ClearRows();
    EXPECT_EQ(grid->HeaderText(0), QStringLiteral("Name"));
    EXPECT_EQ(grid->AddColumn(Col(ColumnType::Number, 40, "N")), 3);
    EXPECT_EQ(grid->ColumnCount(), 4);
    grid->ClearAll();
    EXPECT_EQ(grid->ColumnCount(), 0);
    EXPECT_FALSE(grid->Column(0).has_value());
}

// Rows reach the view once the event loop runs, up to the limit.
TEST_F(GridTest, RowsAddedOneByOneReachTheViewUpToTheLimit) {
    grid->AddColumn(Col(ColumnType::Text));
    for (int i = 0; i < 100; ++i) {
        grid->AddRowTexts({QString::number(i)});
    }
    EXPECT_EQ(grid->RowCount(), 100) << "the grid counts every row at once";
    QCoreApplication::processEvents();
    EXPECT_EQ(View()->model()->rowCount(), 100);
    EXPECT_EQ(View()->model()->index(99, 0).data().toString(), QStringLiteral("99"));
    // Structural changes publish pending rows first.
    grid->AddRowTexts({QStringLiteral("late")});
    grid->DeleteRow(0);
    EXPECT_EQ(View()->model()->rowCount(), 100);
    EXPECT_EQ(View()->model()->index(99, 0).data().toString(), QStringLiteral("late"));

    const std::vector<GridValue> row{GridValue::Text(QStringLiteral("x"))};
    while (grid->RowCount() < kMaxRows) {
        ASSERT_GE(grid->AddRow(row), 0);
    }
    EXPECT_EQ(grid->AddRow(row), -1);
    EXPECT_EQ(grid->InsertRow(0, row), -1);
    QCoreApplication::processEvents();
    EXPECT_EQ(View()->model()->rowCount(), kMaxRows);
}

// Direction 0 ascends, 1 descends, anything else reverses the last order.
TEST_F(GridTest, SortBothWaysAndReverseTheLastOrder) {
    grid->AddColumn(Col(ColumnType::Number));
    for (const int v : {3, 1, 2}) {
        grid->AddRow(std::vector<GridValue>{GridValue::Number(v)});
    }
    const std::pair<int, int> steps[] = {{0, 1}, {5, 3}, {-1, 1}, {1, 3}, {1, 3}};
    for (const auto& [direction, first] : steps) {
        grid->Sort(0, direction);
        EXPECT_EQ(grid->Cell(0, 0).number, first) << "direction " << direction;
        EXPECT_EQ(grid->Cell(1, 0).number, 2);
        EXPECT_EQ(grid->Column(0)->headerState & 2, first == 3 ? 2 : 0);
    }
}

TEST_F(GridTest, Notification1HeaderClickCarriesTheColumnAndRowMinusOne) {
    grid->AddColumn(Col(ColumnType::Text, 80));
    grid->AddColumn(Col(ColumnType::Text, 80));
    Recorder recorder(*grid);
    ASSERT_NO_FATAL_FAILURE(Show());
    QHeaderView* header = View()->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(1) + 40, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(recorder.Count(Code::HeaderClicked), 1);
    EXPECT_EQ(recorder.Last(Code::HeaderClicked)->column, 1);
    EXPECT_EQ(recorder.Last(Code::HeaderClicked)->row, -1);
    EXPECT_EQ(grid->Column(1)->headerState & 1, 0) << "released";
}

// The owner refuses (cancels) a notification or lets it pass.
class Refusable : public GridTest, public ::testing::WithParamInterface<bool> {
protected:
    bool Refused() const { return GetParam(); }
    // Records every notification, refusing `code` in the refused cases.
    Recorder& Record(Code code) {
        m_recorder.emplace(*grid);
        if (Refused()) {
            m_recorder->cancel.insert(code);
        }
        return *m_recorder;
    }
    std::optional<Recorder> m_recorder;
};

std::string OwnerName(const ::testing::TestParamInfo<bool>& param) {
    return param.param ? "Refuses" : "Accepts";
}

INSTANTIATE_TEST_SUITE_P(Owner, Refusable, ::testing::Bool(), OwnerName);

TEST_P(Refusable, Notification2ButtonMayReplaceTheText) {
    grid->AddColumn(Col(ColumnType::Button));
    grid->AddRowTexts({QStringLiteral("old")});
    Recorder& recorder = Record(Code::ButtonActivated);
    recorder.react = [](GridNotification& n) {
        if (n.code == Code::ButtonActivated) {
            *n.data = GridValue::Text(QStringLiteral("new"));
        }
    };
    grid->BeginEdit(0, 0);
    EXPECT_EQ(recorder.Count(Code::ButtonActivated), 1);
    EXPECT_EQ(recorder.values[0].ToText(), QStringLiteral("old"))
        << "the notification shows the cell";
    EXPECT_EQ(grid->CellText(0, 0), Refused() ? QStringLiteral("old") : QStringLiteral("new"));
}

TEST_P(Refusable, Notification3CheckTogglesBitZero) {
    grid->AddColumn(Col(ColumnType::CheckBox));
    grid->AddRow(std::vector<GridValue>{GridValue::Number(0x10)});
    Recorder& recorder = Record(Code::CheckActivated);
    grid->BeginEdit(0, 0);
    ASSERT_EQ(recorder.Count(Code::CheckActivated), 1);
    EXPECT_EQ(recorder.values[0].number, 0x10) << "the notification carries the old value";
    EXPECT_EQ(grid->Cell(0, 0).number, Refused() ? 0x10 : 0x11) << "only bit 0 changes";
    EXPECT_EQ(recorder.Count(Code::CellWritten), Refused() ? 0 : 1);
}

TEST_P(Refusable, Notification4ByDoubleClickOrKeyCarriesTheImageIndexAndIgnoresCancel) {
    GridColumn images = Col(ColumnType::Image, 50);
    QPixmap image(16, 16);
    image.fill(Qt::red);
    images.images = {image, image, image};
    grid->AddColumn(Col(ColumnType::Text));
    grid->AddColumn(images);
    grid->AddRow(
        std::vector<GridValue>{GridValue::Text(QStringLiteral("a")), GridValue::Number(0)});
    grid->AddRow(
        std::vector<GridValue>{GridValue::Text(QStringLiteral("b")), GridValue::Number(2)});
    Recorder& recorder = Record(Code::ImageActivated);
    ASSERT_NO_FATAL_FAILURE(Show());
    QTest::mouseDClick(View()->viewport(), Qt::LeftButton, {}, CellCentre(1, 1));
    ASSERT_EQ(recorder.Count(Code::ImageActivated), 1);
    EXPECT_EQ(recorder.values.back().number, 2);
    EXPECT_EQ(recorder.seen.back().row, 1);
    EXPECT_EQ(grid->CurrentRow(), 1);
    EXPECT_EQ(grid->Cell(1, 1).number, 2) << "nothing written";
    EXPECT_EQ(recorder.Count(Code::CellWriting), 0);
    // Clicks, even on the current cell, never activate; Return and Space do.
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
    EXPECT_EQ(recorder.Count(Code::ImageActivated), 1);
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key_Return);
    QTest::keyClick(View(), Qt::Key_Space);
    EXPECT_EQ(recorder.Count(Code::ImageActivated), 3);
    EXPECT_EQ(recorder.Last(Code::ImageActivated)->row, 0);
}

TEST_F(GridTest, Notification5RefusesOrRedirectsAndNotification6Follows) {
    grid->AddColumn(Col(ColumnType::Text));
    grid->AddColumn(Col(ColumnType::Text));
    for (int i = 0; i < 3; ++i) {
        grid->AddRowTexts({QString::number(i), QString::number(i)});
    }
    Recorder recorder(*grid);
    recorder.cancel.insert(Code::CurrentCellChanging);
    EXPECT_FALSE(grid->SetCurrentCell(1, 2));
    EXPECT_EQ(grid->CurrentRow(), 0);
    EXPECT_EQ(grid->CurrentColumn(), 0);
    EXPECT_EQ(recorder.Count(Code::CurrentCellChanged), 0);

    recorder.cancel.clear();
    recorder.react = [](GridNotification& n) {
        if (n.code == Code::CurrentCellChanging) {
            n.row = 1;  // the owner redirects the move
        }
    };
    EXPECT_TRUE(grid->SetCurrentCell(1, 2));
    EXPECT_EQ(grid->CurrentRow(), 1);
    EXPECT_EQ(grid->CurrentColumn(), 1);
    ASSERT_EQ(recorder.Count(Code::CurrentCellChanged), 1);
    EXPECT_EQ(recorder.Last(Code::CurrentCellChanged)->row, 1);

    EXPECT_FALSE(grid->SetCurrentCell(2, 0)) << "no such column";
    EXPECT_FALSE(grid->SetCurrentCell(0, 3)) << "no such row";
}

TEST_P(Refusable, Notification7OpensTheEditor) {
    grid->AddColumn(Col(ColumnType::Text, 100));
    grid->AddRowTexts({QStringLiteral("value")});
    Recorder& recorder = Record(Code::EditorOpening);
    ASSERT_NO_FATAL_FAILURE(Show());
    grid->BeginEdit(0, 0);
    ASSERT_EQ(recorder.Count(Code::EditorOpening), 1);
    EXPECT_EQ(recorder.values.back().ToText(), QStringLiteral("value"));
    auto* editor = qobject_cast<QLineEdit*>(grid->ActiveEditor());
    ASSERT_EQ(editor == nullptr, Refused());
    if (editor != nullptr) {
        EXPECT_EQ(recorder.Last(Code::EditorOpening)->editor, editor);
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(editor->text(), QStringLiteral("value"));
    }
}

TEST_P(Refusable, Notification8CommitsTheEditorsValueTypedOrSet) {
    grid->AddColumn(Col(ColumnType::Number, 100));
    grid->AddRow(std::vector<GridValue>{GridValue::Number(5)});
    Recorder& recorder = Record(Code::EditCommitting);
    ASSERT_NO_FATAL_FAILURE(Show());
    grid->BeginEdit(0, 0);
    auto* editor = qobject_cast<QLineEdit*>(grid->ActiveEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("-42x7"));
    grid->EndEdit(false);
    ASSERT_EQ(recorder.Count(Code::EditCommitting), 1);
    EXPECT_EQ(recorder.values[1].number, -42) << "the commit (after 7) carries the editor's value";
    EXPECT_EQ(grid->Cell(0, 0).number, Refused() ? 5 : -42);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(grid->ActiveEditor(), nullptr);
    // Ending with cancel keeps the cell and sends no commit.
    grid->BeginEdit(0, 0);
    editor->setText(QStringLiteral("7"));
    grid->EndEdit(true);
    EXPECT_EQ(grid->Cell(0, 0).number, Refused() ? 5 : -42);
    EXPECT_EQ(recorder.Count(Code::EditCommitting), 1);
    // A typed character opens the editor holding that character alone.
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key_7, {}, 10);
    auto* typed = qobject_cast<QLineEdit*>(grid->ActiveEditor());
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->text(), QStringLiteral("7"));
    QTest::keyClick(typed, Qt::Key_Return);
    EXPECT_EQ(grid->Cell(0, 0).number, Refused() ? 5 : 7);
}

TEST_P(Refusable, Notifications9And10AroundSetCell) {
    grid->AddColumn(Col(ColumnType::Text));
    grid->AddRowTexts({QStringLiteral("before")});
    Recorder& recorder = Record(Code::CellWriting);
    EXPECT_EQ(grid->SetCell(0, 0, GridValue::Text(QStringLiteral("after"))), !Refused());
    ASSERT_EQ(recorder.Count(Code::CellWriting), 1);
    EXPECT_EQ(recorder.values[0].ToText(), QStringLiteral("after"));
    EXPECT_EQ(grid->CellText(0, 0), Refused() ? QStringLiteral("before") : QStringLiteral("after"));
    EXPECT_EQ(recorder.seen.size(), Refused() ? 1u : 2u) << "10 follows 9 when it passes";
    EXPECT_EQ(recorder.seen.back().code, Refused() ? Code::CellWriting : Code::CellWritten);
}

TEST_P(Refusable, Notification11LetsTheOwnerRewriteOrDrawAUserCell) {
    grid->AddColumn(Col(ColumnType::User, 100));
    grid->AddRowTexts({QStringLiteral("raw")});
    Recorder& recorder = Record(Code::UserCellDrawing);
    recorder.react = [](GridNotification& n) {
        if (n.code == Code::UserCellDrawing) {
            *n.data = GridValue::Text(QStringLiteral("shown"));
        }
    };
    QStringList ownerDrawn;
    QObject::connect(
        grid.get(), &MyRAGrid::UserCellPaintRequested, grid.get(),
        [&](QPainter*, const QRect&, int, int, const QString& text) { ownerDrawn << text; });
    ASSERT_NO_FATAL_FAILURE(Show());
    (void)grid->grab();
    ASSERT_GE(recorder.Count(Code::UserCellDrawing), 1);
    EXPECT_EQ(recorder.values[0].ToText(), QStringLiteral("raw"));
    EXPECT_EQ(ownerDrawn.isEmpty(), !Refused());
    if (Refused()) {
        EXPECT_EQ(ownerDrawn.first(), QStringLiteral("shown"));
    }
    EXPECT_EQ(grid->CellText(0, 0), QStringLiteral("raw")) << "drawing never changes the cell";
}

// A zero-width column is hidden, keeps its cells and is stepped over.
TEST_F(GridTest, ArrowsMoveTheCurrentCellAndSkipHiddenColumns) {
    grid->AddColumn(Col(ColumnType::Text));
    grid->AddColumn(Col(ColumnType::User, 0));
    grid->AddColumn(Col(ColumnType::Text));
    for (int i = 0; i < 3; ++i) {
        grid->AddRowTexts({QStringLiteral("a"), QStringLiteral("000C01"), QStringLiteral("c")});
    }
    ASSERT_NO_FATAL_FAILURE(Show());
    EXPECT_TRUE(View()->isColumnHidden(1));
    EXPECT_FALSE(View()->isColumnHidden(2));
    EXPECT_EQ(grid->CellText(0, 1), QStringLiteral("000C01"));
    EXPECT_EQ(grid->Column(1)->width, 0);
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key_Right);
    EXPECT_EQ(grid->CurrentColumn(), 2);
    QTest::keyClick(View(), Qt::Key_Down);
    QTest::keyClick(View(), Qt::Key_Down);
    QTest::keyClick(View(), Qt::Key_Down);
    EXPECT_EQ(grid->CurrentRow(), 2);
    QTest::keyClick(View(), Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid->CurrentRow(), 0);
    EXPECT_EQ(grid->CurrentColumn(), 0);
}

TEST_F(GridTest, TypedEditorsCommitTheirValues) {
    grid->AddColumn(Col(ColumnType::Date, 100));
    grid->AddColumn(Col(ColumnType::Time, 100));
    grid->AddColumn(Col(ColumnType::ChoiceList, 100));
    grid->AddChoice(2, QStringLiteral("beta"));
    grid->AddChoice(2, QStringLiteral("alpha"));  // data 1, listed first
    grid->AddRow(
        std::vector<GridValue>{GridValue::Number(10), GridValue::Number(60), GridValue::Number(0)});
    ASSERT_NO_FATAL_FAILURE(Show());

    grid->BeginEdit(0, 0);
    auto* date = qobject_cast<QDateEdit*>(grid->ActiveEditor());
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->date(), QDate(1601, 1, 11));
    date->setDate(QDate(2026, 12, 6));
    grid->EndEdit(false);
    EXPECT_EQ(grid->Cell(0, 0).number, QDate(1601, 1, 1).daysTo(QDate(2026, 12, 6)));

    grid->BeginEdit(1, 0);
    auto* time = qobject_cast<QTimeEdit*>(grid->ActiveEditor());
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->time(), QTime(0, 1));
    time->setTime(QTime(13, 14, 15));
    grid->EndEdit(false);
    EXPECT_EQ(grid->Cell(0, 1).number, 13 * 3600 + 14 * 60 + 15);

    grid->BeginEdit(2, 0);
    auto* list = qobject_cast<QListWidget*>(grid->ActiveEditor());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("alpha"));
    list->setCurrentRow(0);
    grid->EndEdit(false);
    EXPECT_EQ(grid->Cell(0, 2).number, 1) << "the item's data, not its sorted place";
    EXPECT_EQ(grid->CellText(0, 2), QStringLiteral("alpha"));
}

// Rows from texts keep every character; typed cells show as text (a block
// up to its first NUL).
TEST_F(GridTest, RowsFromTextsAndCellTextsOfTypedColumns) {
    GridColumn date = Col(ColumnType::Date);
    date.format = QStringLiteral("yyyy-MM-dd");
    grid->AddColumn(Col(ColumnType::User));
    grid->AddColumn(Col(ColumnType::Number));
    grid->AddColumn(Col(ColumnType::User, 60, "B", 4));
    grid->AddColumn(date);
    grid->AddColumn(Col(ColumnType::Time));
    const QString text =
        QStringLiteral("Caf\u00e9 \U0001F600 \u0416") + QString(600, QLatin1Char('x'));
    ASSERT_EQ(grid->AddRowTexts({text, QStringLiteral("-12z"), QStringLiteral("I7\0z"),
                                 QStringLiteral("0"), QStringLiteral("3661")}),
              0);
    ASSERT_EQ(grid->AddRowTexts({}), 1) << "a short row is empty cells";
    EXPECT_EQ(grid->CellText(0, 0), text);
    EXPECT_EQ(grid->Cell(0, 1).number, -12);
    EXPECT_EQ(grid->Cell(0, 2).bytes, QByteArray("I7\0z", 4));
    EXPECT_EQ(grid->CellText(0, 2), QStringLiteral("I7"));
    EXPECT_EQ(grid->CellText(0, 3), QStringLiteral("1601-01-01"));
    EXPECT_EQ(grid->CellText(0, 4), QStringLiteral("01:01:01"));
    EXPECT_EQ(grid->CellText(1, 0), QString());
    EXPECT_EQ(grid->Cell(1, 1).number, 0);
}

TEST(GridText, LineBreaksOfEveryKindShowAsReturnMarks) {
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"one line", "one line"},
        {"a\r\nb\rc\nd", "a \u21B5 b \u21B5 c \u21B5 d"},
        {"\n\r", " \u21B5  \u21B5 "},
        {"x\n\ny", "x \u21B5  \u21B5 y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShownOnOneLine(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown)) << c.text;
    }
}

TEST(GridNumber, ParseNumberTakesASignAndLeadingDigits) {
    EXPECT_EQ(MyRAGrid::ParseNumber(QStringLiteral("123abc")), 123);
    EXPECT_EQ(MyRAGrid::ParseNumber(QStringLiteral("-17")), -17);
    EXPECT_EQ(MyRAGrid::ParseNumber(QStringLiteral("+5")), 0);
    EXPECT_EQ(MyRAGrid::ParseNumber(QString()), 0);
    EXPECT_EQ(MyRAGrid::ParseNumber(QStringLiteral("4294967297")), 1) << "wraps, never UB";
}

}  // namespace
}  // namespace volnar::grid
