// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>
#include <vector>

// The pure rules the response dispatcher applies to the station's values:
// error-status texts, duration texts, id lists, table rows and the ADC
// channel record. Values are byte texts and are read whole.
namespace volnar {

// One entry of the ADC options dialog's pools and actions lists: the row's
// id and its text (type in capitals, "-", name).
struct AdcListItem {
    int id = 0;
    QString text;

    friend bool operator==(const AdcListItem&, const AdcListItem&) = default;
};

// The fields of an ADC channel record (.66.n) the ADC options dialog uses.
// The eight id lists are named after their trigger slot; the flap-time texts
// are nullopt when the station's seconds have no duration text (the combo box
// then keeps its text).
struct AdcChannelRecord {
    int channel = 0;  // n of .66.n in the answer, 0 when it is another object
    QString notes;
    QString highValue;
    QString lowValue;
    bool highEnabled = false;
    bool lowEnabled = false;
    std::vector<int> highAlerts;         // pool 630 -> actions 634
    std::vector<int> highNormalAlerts;   // 631 -> 635
    std::vector<int> highScripts;        // 613 -> 617
    std::vector<int> highNormalScripts;  // 614 -> 618
    std::vector<int> lowAlerts;          // 632 -> 636
    std::vector<int> lowNormalAlerts;    // 633 -> 637
    std::vector<int> lowScripts;         // 615 -> 619
    std::vector<int> lowNormalScripts;   // 616 -> 620
    std::optional<QString> highFlapText;
    std::optional<QString> lowFlapText;
    int highFlapSeconds = 0;  // the seconds as sent
    int lowFlapSeconds = 0;
    QString adjustment;
    QString precision;
};

// "SNMP_ERR_..." for statuses 1-18, "UNDOCUMENTED ERROR !" for any other.
QString ErrorStatusText(int errorStatus);

// "Continous", "1 Second", "N Seconds", "1 Minute", "N Minutes" (120-3600 in
// whole minutes), "N Hours" (7200-86400 in whole hours); nothing otherwise.
std::optional<QString> DurationText(int seconds);

// The ids of an id list: each id is the text before the next "."; text after
// the last "." is ignored, so "3.5." gives 3 and 5 and "3.5" gives 3. An empty
// list gives no ids.
std::vector<int> ParseIdList(std::string_view idList);

// The entries of source whose ids the list names, in list order; for each id
// the first entry with that id, ids without an entry skipped.
std::vector<AdcListItem> CopyIdListItems(const std::vector<int>& ids,
                                         const std::vector<AdcListItem>& source);

// The first `count` fields of a table row, as the station wrote them (a
// short row repeats its last field, as every field list read here does).
QStringList RowFields(std::string_view value, int count);
// The pool entry of a scripts or alerts row: id field 1, text "FIELD2-field3".
AdcListItem ListItemOfRow(std::string_view value);

AdcChannelRecord ParseAdcChannelRecord(std::string_view value, int channel);

// Notice texts by code, 1-35; any other code gives "IDC_STC".
QString NoticeText(int code);

}  // namespace volnar
