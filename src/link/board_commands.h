// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "link/dispatch_rules.h"

// The typed commands a screen gives the station, one per thing an operator
// does, and the operation each one returns. Identifiers, request ids and
// notice codes stay behind these calls.
namespace volnar {

class BoardLink;

// How an operation ended; Pending until it has.
enum class OperationEnding {
    Pending,
    Done,       // the station answered as asked (the result is in the operation)
    Refused,    // an error status, or an answer that is not what was asked
    TimedOut,   // no answer: the request timed out or the connection stopped
    Unknown,    // a change sent once got no answer: it may or may not have been done
    NotSent,    // the request could not be sent (the link has shown why)
    Cancelled,  // the screen gave it up, or another station was chosen; a late
                // answer goes nowhere
};

// What an operation does (for the screens' tests and the log).
enum class BoardCommand {
    SwitchRelay,
    PulseRelay,
    SetRelayName,
    SetRelayNotes,
    ReadRelayNotes,
    RenameStation,
    SetChannelName,
    SetChannelNotes,
    LoadChannelOptions,
    ReadChannelRecord,
    UploadChannelSettings,
    WalkTable,
    UploadScript,
    UploadAlert,
    ExecuteRow,
    DeleteRow,
};

// The station's tables a list or an editor reads.
enum class BoardTable { Scripts, Alerts, Modems };

// One command in flight. It is a child of the screen that started it:
// deleting the screen deletes it, and whatever the station answers after
// that is counted and dropped. It ends exactly once (Ended), and never from
// inside the call that started it.
class BoardOperation final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoardOperation)

public:
    BoardOperation(BoardCommand command, int argument, QObject* owner);
    ~BoardOperation() override;

    BoardCommand Command() const { return m_command; }
    // The relay, channel, row number or table the command names (0 if none).
    int Argument() const { return m_argument; }

    OperationEnding Ending() const { return m_ending; }
    bool IsPending() const { return m_ending == OperationEnding::Pending; }
    // Refused: the station's error status (0 for an answer that was not what
    // was asked). The text says what happened, for every ending but Done.
    int ErrorStatus() const { return m_errorStatus; }
    QString Text() const { return m_text; }

    // Results: the station's echo (relay name and notes), the channel
    // record (LoadChannelOptions, ReadChannelRecord), the rows read (WalkTable).
    QString Echo() const { return m_echo; }
    const AdcChannelRecord& ChannelRecord() const { return m_record; }
    int RowCount() const { return m_rows; }

    // Gives the operation up: Ended(Cancelled) now, nothing afterwards.
    void Cancel();

Q_SIGNALS:
    // A table row as it arrives (WalkTable): its fields as the station wrote
    // them, field 1 first (five of a script, nine of an alert, a modem's ID
    // and name).
    void RowReceived(const QStringList& fields);
    // An entry of the ADC options pools as it arrives (LoadChannelOptions).
    void PoolItemReceived(bool alert, const volnar::AdcListItem& item);
    void Ended(volnar::OperationEnding ending);

private:
    friend class BoardLink;
    void Finish(OperationEnding ending, const QString& text = {}, int errorStatus = 0);

    BoardCommand m_command;
    int m_argument;
    OperationEnding m_ending = OperationEnding::Pending;
    int m_errorStatus = 0;
    QString m_text;
    QString m_echo;
    AdcChannelRecord m_record;
    int m_rows = 0;
};

// Texts of endings the link itself decides.
inline constexpr char kNoAnswerText[] = "The station did not answer in time.";
inline constexpr char kStoppedText[] = "The connection stopped before the station answered.";
inline constexpr char kNotSentText[] = "The request could not be sent.";
inline constexpr char kWrongAnswerText[] =
    "The station answered with another object than the one asked for.";
inline constexpr char kOutcomeUnknownText[] = "No answer: the station may or may not have done it.";
inline constexpr char kOtherStationText[] = "Another station was chosen.";
inline constexpr char kDirectoryWaitingText[] =
    "The directory has not answered yet: the station's settings are not known.";
inline constexpr char kWalkStuckText[] =
    "The station answered an object that does not follow the one asked for; reading stopped.";

// What a screen should say about an ending that no box of the link has
// explained (a request that timed out, a change whose outcome is unknown, a
// request that waited for the directory); empty for every other ending.
QString UnreportedText(const BoardOperation& operation);

// The commands. Each starts at once and returns its operation, owned by
// `owner`; a command sent while no session is open opens one, as START does.
namespace commands {

BoardOperation* SwitchRelay(BoardLink& link, QObject* owner, int relay, bool on);
BoardOperation* PulseRelay(BoardLink& link, QObject* owner, int relay, int seconds);
// Done with the station's echo in Echo(); the notice follows.
BoardOperation* SetRelayName(BoardLink& link, QObject* owner, int relay, const QString& name);
BoardOperation* SetRelayNotes(BoardLink& link, QObject* owner, int relay, const QString& notes);
BoardOperation* ReadRelayNotes(BoardLink& link, QObject* owner, int relay);
BoardOperation* RenameStation(BoardLink& link, QObject* owner, const QString& name);
BoardOperation* SetChannelName(BoardLink& link, QObject* owner, int channel, const QString& name);
BoardOperation* SetChannelNotes(BoardLink& link, QObject* owner, int channel, const QString& notes);
// The ADC options data load: the alert and script pools (PoolItemReceived),
// then the channel's record (ChannelRecord() when Done).
BoardOperation* LoadChannelOptions(BoardLink& link, QObject* owner, int channel);
// The channel's record alone, one GET (a backup reads no pools).
BoardOperation* ReadChannelRecord(BoardLink& link, QObject* owner, int channel);
BoardOperation* UploadChannelSettings(BoardLink& link, QObject* owner, int channel,
                                      const QByteArray& record);
// Rows arrive through RowReceived; Done once the station answers past the
// table.
BoardOperation* WalkTable(BoardLink& link, QObject* owner, BoardTable table);
BoardOperation* UploadScript(BoardLink& link, QObject* owner, bool isNew, const QByteArray& record);
BoardOperation* UploadAlert(BoardLink& link, QObject* owner, bool isNew, const QByteArray& record);
// Scripts or alerts only.
BoardOperation* ExecuteRow(BoardLink& link, QObject* owner, BoardTable table, std::int32_t number);
BoardOperation* DeleteRow(BoardLink& link, QObject* owner, BoardTable table, std::int32_t number);

}  // namespace commands

}  // namespace volnar
