// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/status_ticker.h"
#include "link/notice_queue.h"
#include "support/qt_print.h"

namespace volnar {
namespace {

TEST(NoticeQueue, NoticesAreShownOneAfterTheOtherAndFollowUpsRunAfterClosing) {
    NoticeQueue notices;
    notices.SetShowInterval(1);
    QStringList events;
    QObject::connect(&notices, &NoticeQueue::NoticeShown, &notices,
                     [&](const QString& text) { events << QStringLiteral("show ") + text; });
    QObject::connect(&notices, &NoticeQueue::NoticeHidden, &notices,
                     [&] { events << QStringLiteral("hide"); });
    QObject::connect(&notices, &NoticeQueue::ReopenScriptsList, &notices,
                     [&] { events << QStringLiteral("scripts"); });
    QObject::connect(&notices, &NoticeQueue::ReopenAlertsList, &notices,
                     [&] { events << QStringLiteral("alerts"); });

    notices.ShowNotice(3, NoticeFollowUp::ReopenScriptsList);
    notices.ShowNotice(0);
    notices.ShowNotice(36);
    notices.ShowNotice(24, NoticeFollowUp::ReopenAlertsList);
    EXPECT_TRUE(notices.IsShowing());
    EXPECT_EQ(notices.Waiting(), 3);
    EXPECT_EQ(events, QStringList{"show Script Updated!"});

    QSignalSpy hidden(&notices, &NoticeQueue::NoticeHidden);
    while (hidden.size() < 4) {
        ASSERT_TRUE(hidden.wait(5000));
    }
    EXPECT_EQ(events,
              (QStringList{"show Script Updated!", "hide", "scripts", "show IDC_STC", "hide",
                           "show IDC_STC", "hide", "show Alert Deleted !", "hide", "alerts"}));
    EXPECT_FALSE(notices.IsShowing());
}

TEST(StatusTicker, FourLinesRotateCentred) {
    StatusTicker ticker;
    ticker.SetYear(2031);
    QSignalSpy texts(&ticker, &StatusTicker::TextChanged);
    for (int i = 0; i < 9; ++i) {
        ticker.Tick();
    }
    const QStringList lines = ticker.Lines();
    ASSERT_EQ(lines.size(), 4);
    ASSERT_EQ(texts.size(), 9);
    for (int i = 0; i < 9; ++i) {
        const QString shown = texts[i].at(0).toString();
        EXPECT_EQ(shown.trimmed(), lines[i % 4]) << i;
        const int padding = static_cast<int>(shown.size() - lines[i % 4].size());
        EXPECT_EQ(padding, (StatusTicker::kWidth - static_cast<int>(lines[i % 4].size())) / 2);
    }
    EXPECT_TRUE(lines.join(u' ').contains(QStringLiteral("Volnar")));
    EXPECT_TRUE(lines.join(u' ').contains(QStringLiteral("Dorvik 2031")));
    EXPECT_EQ(ticker.Counter(), 1);
    EXPECT_EQ(StatusTicker::Centred(QString(50, u'x')), QString(50, u'x'));
}

}  // namespace
}  // namespace volnar
