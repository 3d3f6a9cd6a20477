// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <string>
#include <string_view>

#include "core/status_record.h"

namespace volnar {

// What the main window's panel shows of the station's last polled status
// record, and the values from it that other dialogs read. Plain
// model: the window reads the texts after Changed() and draws them.
//
// The station's texts are untrusted bytes. They are shown as received, each
// byte as its station-text character (StationText): every byte sequence
// converts, nothing is dropped or replaced, and StationBytes() gives the
// exact bytes back (e.g. to send a rating back to the station unchanged).
class StatusPanel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusPanel)

public:
    static constexpr int kAdcInputCount = kChannelCount;
    static constexpr int kRelayCount = volnar::kRelayCount;

    // Starts with the idle look; the kept values start as relay state 0 and
    // empty rating texts.
    explicit StatusPanel(QObject* parent = nullptr);
    ~StatusPanel() override;

    // Places the 60 fields of a status record and converts the eight ADC
    // readings. A shorter record repeats its last field for the missing ones;
    // fields past the 60th are ignored. Emits Changed() once when anything
    // shown or kept changed.
    void ShowStatusRecord(std::string_view value);

    // The last status record, decoded: what every reader but the window uses.
    const StatusRecord& Record() const { return m_record; }

    // The idle look: names "Voltmeter 1".."Voltmeter 8" and "Relay", relay
    // states "==========", values and the four station edits " ", units "-".
    // The kept relay states and rating texts stay. Emits Changed() when
    // anything shown changed.
    void ResetReadouts();

    // Shown texts. ADC inputs and relays count from 1; any other number gives
    // an empty text.
    const QString& AdcName(int input) const;
    const QString& AdcValue(int input) const;
    const QString& AdcUnit(int input) const;
    const QString& RelayName(int relay) const;
    const QString& RelayStateText(int relay) const;
    const QString& TemperatureCelsius() const { return m_celsius.Shown(); }
    const QString& TemperatureFahrenheit() const { return m_fahrenheit.Shown(); }
    const QString& StationName() const { return m_stationName.Shown(); }
    const QString& Uptime() const { return m_uptime.Shown(); }

    // Kept values, overwritten by every status record and not cleared by
    // ResetReadouts: the last known state of each relay (0 for a relay number
    // out of range) and the last shunt ratings of each ADC input as received.
    int RelayState(int relay) const;
    const QString& ShuntAmpRating(int input) const;
    const QString& ShuntMillivoltRating(int input) const;

Q_SIGNALS:
    void Changed();

private:
    // One text as bytes and as shown. The shown text is built when a reader
    // asks for it after the bytes changed, so a record nobody looks at costs
    // no conversion, and a steady station no allocation.
    struct Text {
        std::string bytes;
        mutable QString text;
        mutable bool stale = false;
        bool Set(std::string_view value);
        const QString& Shown() const;
    };

    // What a value text depends on: two values with one key show one text.
    struct ValueKey {
        text::Real rounded = 0;  // 0 for a value that is no number
        int decimals = 0;
        bool negative = false;
        bool number = false;
        bool operator==(const ValueKey&) const = default;
    };
    static ValueKey KeyOf(const ChannelStatus& channel);

    struct AdcInput {
        Text name;
        mutable Text value;  // bytes empty while the value text is still to be built
        Text unit;
        Text ampRating;
        Text millivoltRating;
        ValueKey shown;
    };

    const QString& ValueText(std::size_t n) const;

    struct Relay {
        Text name;
        Text stateText;
    };

    bool SetIdleLook();

    std::array<AdcInput, kAdcInputCount> m_adc;
    std::array<Relay, kRelayCount> m_relays;
    Text m_celsius;
    Text m_fahrenheit;
    Text m_stationName;
    Text m_uptime;
    StatusRecord m_record;
    // The record shown last: placing the same record twice changes nothing, so
    // an unchanged record is recognised with one comparison.
    // Set when the panel no longer shows the last record (idle look).
    bool m_valuesStale = true;
};

}  // namespace volnar
