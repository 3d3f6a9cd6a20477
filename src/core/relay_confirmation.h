// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <array>

#include "core/status_record.h"

namespace volnar {

// Whether a relay switch sent to the station has been confirmed by its
// status answers: pending until an answer reports the new state; after three
// answers in a row with the old state the station is taken to disagree.
class RelayConfirmation final {
public:
    static constexpr int kRelayCount = volnar::kRelayCount;
    static constexpr int kMismatchAnswers = 3;

    enum class Status { None, Pending, Confirmed, Mismatch };

    // A switch of relay `relay` (1-4) to `state` (0 off, 1 on) was sent.
    void Expect(int relay, int state);
    // One status answer's relay states (0 off, 1 on, anything else unknown).
    void OnStatus(const StatusRecord& record);
    void Reset() { m_relays = {}; }

    Status StatusOf(int relay) const;
    // What the panel adds to the relay's state text: "pending",
    // "station still reports OFF", or nothing.
    QString Note(int relay) const;
    // Every note Note() gives, for a label wide enough for the longest.
    static QStringList NoteTexts();

private:
    struct Relay {
        Status status = Status::None;
        int expected = 0;
        int reported = 0;
        int oldAnswers = 0;
    };
    std::array<Relay, kRelayCount> m_relays{};
};

}  // namespace volnar
