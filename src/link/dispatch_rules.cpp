// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/dispatch_rules.h"

#include <array>
#include <string>

#include "core/text_rules.h"
#include "link/board_request.h"

namespace volnar {

namespace {

QString Field(text::FieldReader& reader) {
    return StationText(reader.Next());
}

QString UpperField(text::FieldReader& reader) {
    std::string field(reader.Next());
    text::ToUpperAscii(field);
    return StationText(field);
}

std::vector<int> IdListField(text::FieldReader& reader) {
    return ParseIdList(reader.Next());
}

}  // namespace

QString ErrorStatusText(int errorStatus) {
    static constexpr std::array<const char*, 19> kTexts = {
        "",
        "SNMP_ERR_TOOBIG",
        "SNMP_ERR_NOSUCHNAME",
        "SNMP_ERR_BADVALUE",
        "SNMP_ERR_READONLY",
        "SNMP_ERR_GENERR",
        "SNMP_ERR_NOACCESS",
        "SNMP_ERR_WRONGTYPE",
        "SNMP_ERR_WRONGLENGTH",
        "SNMP_ERR_WRONGENCODING",
        "SNMP_ERR_WRONGVALUE",
        "SNMP_ERR_NOCREATION",
        "SNMP_ERR_INCONSISTENTVALUE",
        "SNMP_ERR_RESOURCEUNAVAILABLE",
        "SNMP_ERR_COMMITFAILED",
        "SNMP_ERR_UNDOFAILED",
        "SNMP_ERR_AUTHORIZATIONERROR",
        "SNMP_ERR_NOTWRITABLE",
        "SNMP_ERR_INCONSISTENTNAME",
    };
    if (errorStatus >= 1 && errorStatus <= 18) {
        return QString::fromLatin1(kTexts[static_cast<std::size_t>(errorStatus)]);
    }
    return QStringLiteral("UNDOCUMENTED ERROR !");
}

std::optional<QString> DurationText(int seconds) {
    if (seconds == 0) {
        return QStringLiteral("Continous");
    }
    if (seconds == 1) {
        return QStringLiteral("1 Second");
    }
    if (seconds >= 2 && seconds <= 59) {
        return QStringLiteral("%1 Seconds").arg(seconds);
    }
    if (seconds == 60) {
        return QStringLiteral("1 Minute");
    }
    if (seconds >= 120 && seconds <= 3600 && seconds % 60 == 0) {
        return QStringLiteral("%1 Minutes").arg(seconds / 60);
    }
    if (seconds >= 7200 && seconds <= 86400 && seconds % 3600 == 0) {
        return QStringLiteral("%1 Hours").arg(seconds / 3600);
    }
    return std::nullopt;
}

std::vector<int> ParseIdList(std::string_view idList) {
    std::vector<int> ids;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = idList.find('.', start);
        if (dot == std::string_view::npos) {
            break;  // text after the last "." is not an id
        }
        ids.push_back(text::DecimalToInt(idList.substr(start, dot - start)));
        start = dot + 1;
    }
    return ids;
}

std::vector<AdcListItem> CopyIdListItems(const std::vector<int>& ids,
                                         const std::vector<AdcListItem>& source) {
    std::vector<AdcListItem> copied;
    for (const int id : ids) {
        for (const AdcListItem& item : source) {
            if (item.id == id) {
                copied.push_back(item);
                break;
            }
        }
    }
    return copied;
}

QStringList RowFields(std::string_view value, int count) {
    text::FieldReader reader(value);
    QStringList fields;
    for (int i = 0; i < count; ++i) {
        fields << Field(reader);
    }
    return fields;
}

AdcListItem ListItemOfRow(std::string_view value) {
    text::FieldReader reader(value);
    AdcListItem item;
    item.id = text::DecimalToInt(reader.Next());
    const QString type = UpperField(reader);
    item.text = type + QLatin1Char('-') + Field(reader);
    return item;
}

AdcChannelRecord ParseAdcChannelRecord(std::string_view value, int channel) {
    text::FieldReader reader(value);
    AdcChannelRecord record;
    record.channel = channel;
    reader.Next();  // fields 1 and 2 are not used
    reader.Next();
    record.notes = Field(reader);
    record.highValue = Field(reader);
    record.lowValue = Field(reader);
    record.highEnabled = text::DecimalToInt(reader.Next()) != 0;
    record.lowEnabled = text::DecimalToInt(reader.Next()) != 0;
    record.highAlerts = IdListField(reader);
    record.highNormalAlerts = IdListField(reader);
    record.highScripts = IdListField(reader);
    record.highNormalScripts = IdListField(reader);
    record.lowAlerts = IdListField(reader);
    record.lowNormalAlerts = IdListField(reader);
    record.lowScripts = IdListField(reader);
    record.lowNormalScripts = IdListField(reader);
    record.highFlapSeconds = text::DecimalToInt(reader.Next());
    record.lowFlapSeconds = text::DecimalToInt(reader.Next());
    record.highFlapText = DurationText(record.highFlapSeconds);
    record.lowFlapText = DurationText(record.lowFlapSeconds);
    record.adjustment = Field(reader);
    record.precision = Field(reader);
    return record;
}

QString NoticeText(int code) {
    static constexpr std::array<const char*, 36> kTexts = {
        "IDC_STC",
        "Relay Notes Updated!",
        "Relay Name Updated!",
        "Script Updated!",
        "Script Added!",
        "Script Deleted!",
        "Script Executed!",
        "Station Name Changed !",
        "ADC 1 Name Changed !",
        "ADC 1 Note Changed !",
        "ADC 2 Name Changed !",
        "ADC 2 Note Changed !",
        "ADC 3 Name Changed !",
        "ADC 3 Note Changed !",
        "ADC 4 Name Changed !",
        "ADC 4 Note Changed !",
        "ADC 5 Name Changed !",
        "ADC 5 Note Changed !",
        "ADC 6 Name Changed !",
        "ADC 6 Note Changed !",
        "ADC 7 Name Changed !",
        "ADC 7 Note Changed !",
        "ADC 8 Name Changed !",
        "ADC 8 Note Changed !",
        "Alert Deleted !",
        "Alert Executed !",
        "Alert Added !",
        "Alert Updated !",
        "ADC 1 Updated !",
        "ADC 2 Updated !",
        "ADC 3 Updated !",
        "ADC 4 Updated !",
        "ADC 5 Updated !",
        "ADC 6 Updated !",
        "ADC 7 Updated !",
        "ADC 8 Updated !",
    };
    if (code >= 1 && code <= 35) {
        return QString::fromLatin1(kTexts[static_cast<std::size_t>(code)]);
    }
    return QString::fromLatin1(kTexts[0]);
}

}  // namespace volnar
