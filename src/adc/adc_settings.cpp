// SPDX-License-Identifier: GPL-3.0-or-later
#include "adc/adc_settings.h"

#include <cmath>
#include <string>

#include "core/text_rules.h"
#include "link/board_request.h"

namespace volnar::adc {

namespace {

using text::Real;

Real ToReal(const QString& value) {
    const QByteArray bytes = StationBytes(value);
    return text::DecimalToReal(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// RealCompare of two reals; kCompareNotANumber when either is not a number.
int Compare(Real a, Real b) {
    return text::RealCompare(a, b);
}

// A refusal of CheckStationText as a result.
Result<void> Refusal(std::optional<QString> refusal) {
    if (refusal) {
        return Failure{std::move(*refusal)};
    }
    return {};
}

bool HasSeparator(const QString& value) {
    return value.contains(QLatin1Char('|'));
}

std::vector<FlapTime> MakeFlapTimes() {
    std::vector<FlapTime> times;
    times.reserve(144);
    times.push_back({QStringLiteral("Continous"), 0});
    times.push_back({QStringLiteral("1 Second"), 1});
    for (int s = 2; s <= 59; ++s) {
        times.push_back({QStringLiteral("%1 Seconds").arg(s), s});
    }
    times.push_back({QStringLiteral("1 Minute"), 60});
    for (int m = 2; m <= 60; ++m) {
        times.push_back({QStringLiteral("%1 Minutes").arg(m), m * 60});
    }
    times.push_back({QStringLiteral("1 Hour"), 3600});
    for (int h = 2; h <= 24; ++h) {
        times.push_back({QStringLiteral("%1 Hours").arg(h), h * 3600});
    }
    return times;
}

QByteArray Unsigned(int value) {
    return QByteArray::number(static_cast<quint32>(value));
}

}  // namespace

QString AmpLimitMessage(const QString& ampRating) {
    return QStringLiteral("Hi Trigger Must Be Less Than ") + ampRating + QStringLiteral(" Amps !");
}

QString VoltLimitText(int channel) {
    if (channel <= 3) {
        return QStringLiteral("2.4");
    }
    if (channel <= 6) {
        return QStringLiteral("29");
    }
    return QStringLiteral("59");
}

QString VoltLimitMessage(int channel) {
    if (channel <= 3) {
        return QStringLiteral("Hi Trigger Must Be Less Than 2.5 Volts !");
    }
    if (channel <= 6) {
        return QStringLiteral("Hi Trigger Must Be Less Than 30 Volts !");
    }
    return QStringLiteral("Hi Trigger Must Be Less Than 60 Volts !");
}

const std::vector<FlapTime>& FlapTimes() {
    static const std::vector<FlapTime> times = MakeFlapTimes();
    return times;
}

QStringList FlapTimeTexts() {
    QStringList texts;
    for (const FlapTime& time : FlapTimes()) {
        texts << time.text;
    }
    return texts;
}

int FlapSeconds(const QString& text) {
    const QString read = Cut(text, kFlapTextRead);
    for (const FlapTime& time : FlapTimes()) {
        if (time.text == read) {
            return time.seconds;
        }
    }
    return 0;
}

QString ActionsListName(ActionsList list) {
    switch (list) {
        case ActionsList::HighAlerts:
            return QStringLiteral("High Trigger alerts");
        case ActionsList::HighNormalAlerts:
            return QStringLiteral("High Normal Trigger alerts");
        case ActionsList::HighScripts:
            return QStringLiteral("High Trigger scripts");
        case ActionsList::HighNormalScripts:
            return QStringLiteral("High Normal Trigger scripts");
        case ActionsList::LowAlerts:
            return QStringLiteral("Low Trigger alerts");
        case ActionsList::LowNormalAlerts:
            return QStringLiteral("Low Normal Trigger alerts");
        case ActionsList::LowScripts:
            return QStringLiteral("Low Trigger scripts");
        case ActionsList::LowNormalScripts:
            return QStringLiteral("Low Normal Trigger scripts");
    }
    return QString();
}

QByteArray IdListText(const std::vector<int>& ids) {
    QByteArray list;
    for (const int id : ids) {
        list += Unsigned(id);
        list += '.';
    }
    return list;
}

namespace {

Failure Fail(const char* message) {
    return Failure{QString::fromLatin1(message)};
}

// A compared value: first <= second or either side not a number.
bool NotAbove(Real first, Real second) {
    const int order = Compare(first, second);
    return order == text::kCompareNotANumber || order == text::kCompareSmaller;
}

// Texts the station could not keep as they stand: refused, never cut.
Result<void> CheckStoredTexts(const SettingsForm& form) {
    const std::pair<StationField, const QString*> texts[] = {
        {{QStringLiteral("Amp Rating"), kRatingLimit}, &form.ampRating},
        {{QStringLiteral("Millivolt Rating"), kRatingLimit}, &form.millivoltRating},
        {{QStringLiteral("Adjustment"), kNumberTextLimit}, &form.adjustment},
        {{QStringLiteral("High Trigger"), kNumberTextLimit}, &form.highValue},
        {{QStringLiteral("Low Trigger"), kNumberTextLimit}, &form.lowValue},
    };
    for (const auto& [field, value] : texts) {
        if (std::optional<QString> refusal = CheckStationText(field, *value)) {
            return Failure{std::move(*refusal)};
        }
    }
    return {};
}

// The typed entries in the station's order: ratings, precision, adjustment,
// trigger values.
Result<void> CheckEntries(const SettingsForm& form) {
    // 1. Ratings: required for an ammeter; never a field separator.
    if ((form.ammeter && form.ampRating.isEmpty()) || HasSeparator(form.ampRating)) {
        return Fail(kInvalidAmpRating);
    }
    if ((form.ammeter && form.millivoltRating.isEmpty()) || HasSeparator(form.millivoltRating)) {
        return Fail(kInvalidMillivoltRating);
    }
    // 2. Precision: one digit 0-6.
    const QString& precision = form.precision;
    if (precision.size() != 1 || precision[0] < QLatin1Char('0') ||
        precision[0] > QLatin1Char('6')) {
        return Fail(kInvalidPrecision);
    }
    // 3. Adjustment: sent as text, and the station takes only a number.
    if (!IsStationNumber(form.adjustment)) {
        return Fail(kInvalidAdjustment);
    }
    // 5, 6. An enabled trigger needs a value above 1, written as the station
    // takes a number ("1e5" and "+2" read as numbers here, not there).
    const auto badTrigger = [](bool enabled, const QString& value) {
        return (enabled &&
                (!IsStationNumber(value) || Compare(ToReal(value), 1) != text::kCompareGreater)) ||
               HasSeparator(value);
    };
    if (badTrigger(form.highEnabled, form.highValue)) {
        return Fail(kInvalidHighValue);
    }
    if (badTrigger(form.lowEnabled, form.lowValue)) {
        return Fail(kInvalidLowValue);
    }
    return {};
}

// 7. Mode limits. A side that is not a number fails the comparison.
Result<void> CheckModeLimits(const SettingsForm& form) {
    const Real high = ToReal(form.highValue);
    if (form.ammeter) {
        const Real amp = ToReal(form.ampRating);
        // A rating that is not a number is reported as such by the next check.
        if (!std::isnan(amp) && NotAbove(amp, high)) {
            return Failure{AmpLimitMessage(form.ampRating)};
        }
        if (NotAbove(amp, 1)) {
            return Fail(kInvalidAmpRating);
        }
        if (NotAbove(ToReal(form.millivoltRating), 1)) {
            return Fail(kInvalidMillivoltRating);
        }
    } else {
        const int vsLimit = Compare(high, ToReal(VoltLimitText(form.channel)));
        if (vsLimit == text::kCompareNotANumber || vsLimit == text::kCompareGreater) {
            return Failure{VoltLimitMessage(form.channel)};
        }
    }
    if (form.highEnabled && Compare(high, ToReal(form.lowValue)) != text::kCompareGreater) {
        return Fail(kHighNotAboveLow);
    }
    return {};
}

// The station's limits: refuse rather than cut, since a cut id list would
// attach other alerts and scripts than the ones shown.
Result<void> CheckLengths(const SettingsForm& form) {
    for (std::size_t i = 0; i < kActionsListCount; ++i) {
        if (IdListText(form.idLists[i]).size() > kIdListLimit) {
            return Failure{
                QStringLiteral("Too many %1: their id list would be longer than %2 characters !")
                    .arg(ActionsListName(static_cast<ActionsList>(i)))
                    .arg(kIdListLimit)};
        }
    }
    if (SettingsRecord(form).size() > kRecordLimit) {
        return Failure{QStringLiteral("Too many actions: the settings record would be longer "
                                      "than %1 characters !")
                           .arg(kRecordLimit)};
    }
    return {};
}

}  // namespace

Result<void> CheckSettings(const SettingsForm& form) {
    for (const auto check : {CheckStoredTexts, CheckEntries, CheckModeLimits, CheckLengths}) {
        if (Result<void> checked = check(form); !checked) {
            return checked;
        }
    }
    return {};
}

QByteArray SettingsRecord(const SettingsForm& form) {
    QByteArray record;
    const auto add = [&record](const QByteArray& field) {
        record += field;
        record += '|';
    };
    add(QByteArray::number(form.channel));
    add(StationBytes(form.highValue));
    add(StationBytes(form.lowValue));
    add(form.highEnabled ? "1" : "0");
    add(form.lowEnabled ? "1" : "0");
    for (const std::vector<int>& ids : form.idLists) {
        add(IdListText(ids));
    }
    add(Unsigned(FlapSeconds(form.highFlapText)));
    add(Unsigned(FlapSeconds(form.lowFlapText)));
    add(StationBytes(form.adjustment));
    add(StationBytes(form.precision));
    add(form.ammeter ? "a" : "v");
    add(StationBytes(form.ampRating));
    add(StationBytes(form.millivoltRating));
    return record;
}

Result<QByteArray> PlanUpload(const SettingsForm& form) {
    if (Result<void> checked = CheckSettings(form); !checked) {
        return Failure{checked.error()};
    }
    return SettingsRecord(form);
}

bool KeyFilterLets(KeyFilter filter, char32_t character) {
    if (character == 8) {
        return true;
    }
    const bool digit = character >= U'0' && character <= U'9';
    switch (filter) {
        case KeyFilter::ShuntRating:
            return digit;
        case KeyFilter::Precision:
            return character >= U'0' && character <= U'6';
        case KeyFilter::DecimalNumber:
            return digit || character == U'.';
    }
    return false;
}

QString AsOfText(const QDateTime& when, const QLocale& locale) {
    return locale.toString(when.time(), QStringLiteral("hh:mm:ss:AP")) + QStringLiteral("     ") +
           locale.toString(when.date(), QStringLiteral("MMMM:dd:yyyy"));
}

QString DialogTitle(int channel) {
    return QStringLiteral("ADC %1 Options").arg(channel);
}

QString Cut(const QString& text, int count) {
    return text.left(count);
}

bool IsStationNumber(const QString& text) {
    qsizetype at = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    bool point = false;
    bool digit = false;
    for (; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c == QLatin1Char('.') && !point) {
            point = true;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digit = true;
        } else {
            return false;
        }
    }
    return digit;
}

Result<void> CheckChannelName(int channel, const QString& name) {
    if (name.isEmpty()) {
        return Fail(kZeroLengthName);
    }
    if (HasSeparator(name)) {
        return Fail(kNameWithSeparator);
    }
    return Refusal(
        CheckStationText({QStringLiteral("ADC %1 Name").arg(channel), kNameTaken}, name));
}

Result<void> CheckChannelNotes(int channel, const QString& notes) {
    if (HasSeparator(notes)) {
        return Fail(kNotesWithSeparator);
    }
    return Refusal(
        CheckStationText({QStringLiteral("ADC %1 Notes").arg(channel), kNotesTaken}, notes));
}

}  // namespace volnar::adc
