// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/relay_confirmation.h"

namespace volnar {

void RelayConfirmation::Expect(int relay, int state) {
    if (relay < 1 || relay > kRelayCount || (state != 0 && state != 1)) {
        return;
    }
    Relay& r = m_relays[static_cast<std::size_t>(relay - 1)];
    r.status = Status::Pending;
    r.expected = state;
    r.oldAnswers = 0;
}

void RelayConfirmation::OnStatus(const StatusRecord& record) {
    for (std::size_t n = 0; n < m_relays.size(); ++n) {
        Relay& r = m_relays[n];
        if (r.status != Status::Pending && r.status != Status::Mismatch) {
            continue;
        }
        r.reported = record.relays[n].state;
        if (r.reported == r.expected) {
            r.status = Status::Confirmed;
        } else if (++r.oldAnswers >= kMismatchAnswers) {
            r.status = Status::Mismatch;
        }
    }
}

RelayConfirmation::Status RelayConfirmation::StatusOf(int relay) const {
    if (relay < 1 || relay > kRelayCount) {
        return Status::None;
    }
    return m_relays[static_cast<std::size_t>(relay - 1)].status;
}

QStringList RelayConfirmation::NoteTexts() {
    return {QStringLiteral("pending"), QStringLiteral("station still reports OFF"),
            QStringLiteral("station still reports ON"), QStringLiteral("station reports no state")};
}

QString RelayConfirmation::Note(int relay) const {
    switch (StatusOf(relay)) {
        case Status::Pending:
            return NoteTexts()[0];
        case Status::Mismatch: {
            const int reported = m_relays[static_cast<std::size_t>(relay - 1)].reported;
            return NoteTexts()[reported == 0 ? 1 : reported == 1 ? 2 : 3];
        }
        case Status::None:
        case Status::Confirmed:
            break;
    }
    return {};
}

}  // namespace volnar
