// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/about_box.h"
#include "app/about_text.h"
#include "app/notice_popup.h"
#include "app/qt_message_service.h"
#include "support/qt_print.h"

namespace volnar {
namespace {

TEST(AboutText, YearFieldEndsTheRangeAndSectionsStartWithFivePauses) {
    const QString text = AboutText(2026);
    EXPECT_TRUE(text.contains(QStringLiteral("-2026 "))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("YYYY")));
    EXPECT_TRUE(text.endsWith(QString(8, u'\n')));
    // Title and subtitle type at once; each later section waits five ticks.
    const QStringList sections = text.trimmed().split(QStringLiteral("\n\n"));
    ASSERT_GE(sections.size(), 7);
    const QChar pause = QLatin1Char(kPauseCharacter);
    EXPECT_FALSE(sections[0].startsWith(pause));
    for (qsizetype i = 1; i < sections.size(); ++i) {
        EXPECT_TRUE(sections[i].startsWith(QString(5, pause))) << i;
        EXPECT_NE(sections[i].at(5), pause) << i;
    }
    // A year that is not four digits leaves the field alone.
    EXPECT_TRUE(AboutText(99999).contains(QStringLiteral("YYYY")));
    // Without a version the build number is all zeros, never empty.
    EXPECT_EQ(BuildNumberText(""), QStringLiteral("0.0.0.0.0.0"));
    EXPECT_EQ(BuildNumberText(nullptr), BuildNumberText(""));
}

TEST(TypewriterTicker, TypesPausesAndStartsAgainAtTheEnd) {
    const QString text = QString::fromLatin1("ab\x01\n\x02") + u'c';
    TypewriterTicker ticker(text);
    QString shown;
    int ticks = 0;
    // One full pass plus the clearing tick, then the first character again.
    for (; ticks < text.size(); ++ticks) {
        const auto step = ticker.Tick();
        ASSERT_NE(step.action, TypewriterTicker::Action::Clear) << ticks;
        shown += step.text;
    }
    EXPECT_EQ(shown, QStringLiteral("ab\nc"));
    EXPECT_EQ(ticker.Tick().action, TypewriterTicker::Action::Clear);
    EXPECT_EQ(ticker.Tick().text, QStringLiteral("a"));
}

TEST(AboutBox, EveryOpeningStartsFromTheFirstCharacterAndOnlyClosingCloses) {
    const QString text = AboutText(2026);
    for (int opening = 0; opening < 2; ++opening) {
        AboutBox box(text);
        EXPECT_TRUE(box.Shown().isEmpty());
        for (int i = 0; i < 5; ++i) {
            box.Tick();
        }
        EXPECT_EQ(box.Shown(), text.left(5));
        // Escape and Enter do not close it.
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &box, key);
            EXPECT_TRUE(box.isVisible()) << key;
        }
    }
}

TEST(NoticePopup, StaysUntilTheNoticeExpires) {
    auto* popup = new NoticePopup(QStringLiteral("Script Added!"));
    QSignalSpy finished(popup, &QDialog::finished);
    QSignalSpy destroyed(popup, &QObject::destroyed);
    popup->open();
    EXPECT_EQ(popup->Text(), QStringLiteral("Script Added!"));
    EXPECT_FALSE(popup->close());  // the operator cannot cut it short
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_FALSE(finished.wait(300));
    QTimer::singleShot(0, popup, &NoticePopup::Expire);  // the queue hides the notice
    EXPECT_TRUE(finished.wait(1000));
    EXPECT_TRUE(destroyed.wait(1000));
}

// A box opened while a notice shows belongs to the dialog below the notice,
// so it outlives the notice and is answered as usual.
TEST(QtMessageService, ABoxOverANoticeBelongsToTheDialogBelowIt) {
    QDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* popup = new NoticePopup(QStringLiteral("Script Added!"), &dialog);
    popup->setWindowModality(Qt::ApplicationModal);
    popup->open();
    QPointer<NoticePopup> notice = popup;
    QWidget* owner = nullptr;
    QTimer::singleShot(200, popup, &NoticePopup::Expire);
    QTimer::singleShot(500, &dialog, [&owner] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            owner = box->parentWidget();
            box->button(QMessageBox::Yes)->click();
        }
    });
    QtMessageService service;
    EXPECT_TRUE(service.AskYesNo(QStringLiteral("Delete?")));
    EXPECT_EQ(owner, &dialog);
    EXPECT_FALSE(notice);  // the notice went meanwhile
}

}  // namespace
}  // namespace volnar
