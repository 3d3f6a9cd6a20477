// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>

#include "link/board_link.h"

namespace volnar {

// The confirmation notices, one at a time: each is shown for one second
// (NoticeShown, then NoticeHidden), and its follow-up (re-opening a list)
// runs once it has closed; notices asked for meanwhile wait their turn. The
// widget that shows them only observes these signals.
class NoticeQueue final : public QObject {
    Q_OBJECT

public:
    static constexpr int kShowMs = 1000;

    explicit NoticeQueue(QObject* parent = nullptr);

    // Queues notice `code` (texts of NoticeText; 0, 36 and others show
    // "IDC_STC").
    void ShowNotice(int code, volnar::NoticeFollowUp followUp = NoticeFollowUp::None);

    bool IsShowing() const { return m_showing; }
    int Waiting() const { return static_cast<int>(m_waiting.size()); }
    // For tests: how long each notice stays.
    void SetShowInterval(int ms) { m_timer.setInterval(ms); }

Q_SIGNALS:
    void NoticeShown(const QString& text);
    void NoticeHidden();
    void ReopenScriptsList();
    void ReopenAlertsList();

private:
    struct Pending {
        int code;
        NoticeFollowUp followUp;
    };
    void ShowNext();
    void Close();

    QTimer m_timer;
    std::deque<Pending> m_waiting;
    NoticeFollowUp m_currentFollowUp = NoticeFollowUp::None;
    bool m_showing = false;

    Q_DISABLE_COPY_MOVE(NoticeQueue)
};

}  // namespace volnar
