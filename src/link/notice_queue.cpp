// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/notice_queue.h"

#include "link/dispatch_rules.h"

namespace volnar {

NoticeQueue::NoticeQueue(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kShowMs);
    connect(&m_timer, &QTimer::timeout, this, &NoticeQueue::Close);
}

void NoticeQueue::ShowNotice(int code, NoticeFollowUp followUp) {
    m_waiting.push_back({code, followUp});
    if (!m_showing) {
        ShowNext();
    }
}

void NoticeQueue::ShowNext() {
    if (m_waiting.empty()) {
        return;
    }
    const Pending next = m_waiting.front();
    m_waiting.pop_front();
    m_showing = true;
    m_currentFollowUp = next.followUp;
    m_timer.start();
    Q_EMIT NoticeShown(NoticeText(next.code));
}

void NoticeQueue::Close() {
    m_showing = false;
    Q_EMIT NoticeHidden();
    const NoticeFollowUp followUp = m_currentFollowUp;
    m_currentFollowUp = NoticeFollowUp::None;
    if (followUp == NoticeFollowUp::ReopenScriptsList) {
        Q_EMIT ReopenScriptsList();
    } else if (followUp == NoticeFollowUp::ReopenAlertsList) {
        Q_EMIT ReopenAlertsList();
    }
    if (!m_showing) {
        ShowNext();
    }
}

}  // namespace volnar
