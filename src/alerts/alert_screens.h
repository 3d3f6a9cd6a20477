// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alerts/alert_record.h"
#include "lists/list_navigator.h"

namespace volnar {

// The alert list as the station table list shows it: twelve columns, five
// of them hidden (the fifth to ninth fields, kept whole for the editors).
TableListSettings AlertListSettings();

// The editors' working record from a listed row.
AlertWorkingRecord WorkingRecordOfAlertRow(const ListRow& row);

// The alert screens: the list above, the e-mail or SMS editor its Add
// buttons and its edit image open.
NavigatorSettings AlertNavigation();

}  // namespace volnar
