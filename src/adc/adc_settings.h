// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "core/action_lists.h"
#include "core/result.h"

// The ADC channel settings as plain rules: the flap-time texts, the checks an
// upload must pass, the 20-field settings record, the id lists and the
// key filters of the ADC options dialog. Nothing here touches a widget.
namespace volnar::adc {

inline constexpr int kChannelCount = 8;

// The longest texts the station keeps in the settings record: a shunt rating
// of up to six digits, a number text (trigger value, adjustment) of up to
// eleven characters. Longer texts are refused, never cut.
inline constexpr int kRatingLimit = 6;
inline constexpr int kNumberTextLimit = 11;
// The channel's name and notes, written by their own Set buttons.
inline constexpr int kNameTaken = 19;
inline constexpr int kNotesTaken = 511;
// Longest texts shown from the channel record and the status poll.
inline constexpr int kRecordNotesShown = 511;
inline constexpr int kRecordNumberShown = 11;
inline constexpr int kReadingShown = 19;
inline constexpr int kFlapTextRead = 29;
// The station's limits: one id list, the whole settings record.
inline constexpr int kIdListLimit = 127;
inline constexpr int kRecordLimit = 1023;

// Messages of the checks, in check order.
inline constexpr char kInvalidAmpRating[] = "Invalid Shunt Amperage Rating !";
inline constexpr char kInvalidMillivoltRating[] = "Invalid Shunt Millivolt Rating !";
inline constexpr char kInvalidPrecision[] = "Precision must be a number between 0 and 6 !";
inline constexpr char kInvalidAdjustment[] = "Adjustment must contain a valid number !";
inline constexpr char kInvalidHighValue[] = "Invalid high trigger value !";
inline constexpr char kInvalidLowValue[] = "Invalid low trigger value !";
inline constexpr char kHighNotAboveLow[] = "Hi Trigger Must Be Greater Than The Low Trigger !";
inline constexpr char kZeroLengthName[] = "Zero Length Fields Not Allowed!";
// A "|" would split a text into two fields of the record it travels in.
inline constexpr char kNameWithSeparator[] = "The name may not contain \"|\" !";
inline constexpr char kNotesWithSeparator[] = "The notes may not contain \"|\" !";

// "Hi Trigger Must Be Less Than <amp rating as typed> Amps !".
QString AmpLimitMessage(const QString& ampRating);
// The voltmeter limit of a channel: 2.4 V (message "... 2.5 Volts !") on
// channels 1-3, 29 on 4-6, 59 on 7-8.
QString VoltLimitText(int channel);
QString VoltLimitMessage(int channel);

// The 144 flap-time texts in the order the combo boxes offer them, and their
// seconds.
struct FlapTime {
    QString text;
    int seconds = 0;
};
const std::vector<FlapTime>& FlapTimes();
QStringList FlapTimeTexts();
// The seconds of the first text that equals `text` (its first 29 characters)
// exactly, case and spacing included; 0 for any other text.
int FlapSeconds(const QString& text);

using ::volnar::ActionsList;
using ::volnar::IdLists;
using ::volnar::kActionsListCount;
// How a list is named in messages: "High Trigger alerts", "Low Normal
// Trigger scripts", ...
QString ActionsListName(ActionsList list);

// Each id as unsigned decimal followed by "."; no ids give the empty text.
QByteArray IdListText(const std::vector<int>& ids);

// Everything the upload reads from the dialog, as the dialog shows it. Each
// text goes into the record whole or the upload is refused.
struct SettingsForm {
    int channel = 1;  // 1-8
    bool ammeter = false;
    QString ampRating;
    QString millivoltRating;
    QString precision;
    QString adjustment;
    QString highFlapText;
    QString lowFlapText;
    bool highEnabled = false;
    bool lowEnabled = false;
    QString highValue;
    QString lowValue;
    IdLists idLists;
};

// The message of the first check the form fails: first any text the station
// could not keep as it stands (a character its code page cannot hold, or
// longer than its field, named with the field and its limit), then in the
// station's order (ratings, precision, adjustment, trigger values, mode
// limits, then the lengths of the id lists and of the record); a value when
// every check passes. A compared text that is not a number never passes the
// check that compares it: that check fails with its own message. The
// precision is one digit 0-6 and the adjustment a number ("12.5", not "1..5").

Result<void> CheckSettings(const SettingsForm& form);

// The settings record: 20 fields, each followed by "|", each text whole (the
// form is not checked here).
QByteArray SettingsRecord(const SettingsForm& form);

// CheckSettings, then the record.
Result<QByteArray> PlanUpload(const SettingsForm& form);

// Key filters of the dialog's number edits: which typed characters they let
// through. Backspace always passes; every other character outside the set
// is dropped with a beep.
enum class KeyFilter { ShuntRating, Precision, DecimalNumber };
bool KeyFilterLets(KeyFilter filter, char32_t character);

// The "as of" text: time "hh:mm:ss:AM/PM", five spaces, date
// "<month name>:dd:yyyy" in the given locale (e.g. "09:41:07:PM     December:05:2026").
QString AsOfText(const QDateTime& when, const QLocale& locale = QLocale::system());

// The dialog title: "ADC 3 Options".
QString DialogTitle(int channel);

// A text cut to its first `count` characters.
QString Cut(const QString& text, int count);

// A number text as the station takes it: an optional "-", digits with at
// most one ".", at least one digit.
bool IsStationNumber(const QString& text);

// The refusal for a channel name or notes text that cannot be set as it
// stands (empty name, "|", a character the station cannot store, too long);
// done when it can.
Result<void> CheckChannelName(int channel, const QString& name);
Result<void> CheckChannelNotes(int channel, const QString& notes);

}  // namespace volnar::adc
