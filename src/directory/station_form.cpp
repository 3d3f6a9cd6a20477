// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/station_form.h"

namespace volnar {
namespace {

QString L(const char* text) {
    return QString::fromLatin1(text);
}

// A whole decimal number from `min` to `max`, digits only.
bool InRange(const QString& text, int min, int max) {
    if (text.isEmpty() || text.size() > 9) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    const int value = text.toInt();
    return value >= min && value <= max;
}

}  // namespace

FieldProblem CheckNumberFields(StationDialogMode mode, const StationForm& form) {
    const bool edit = mode == StationDialogMode::Edit;
    // A value the operator left as the row holds it, or one in range.
    const auto acceptable = [edit](const QString& typed, const QString& stored, int min, int max) {
        return (edit && typed == stored) || InRange(typed, min, max);
    };
    const StationRecord& stored = form.opened;
    if (!acceptable(form.port, stored.PORT, 1, 65535)) {
        return {StationFormField::Port, L(kPortInvalid)};
    }
    if (!acceptable(form.timeout, stored.TIMEOUT, kTimeoutMin, kTimeoutMax)) {
        return {StationFormField::Timeout, L(kTimeoutInvalid).arg(kTimeoutMin).arg(kTimeoutMax)};
    }
    if (!acceptable(form.retries, stored.RETRIES, kRetriesMin, kRetriesMax)) {
        return {StationFormField::Retries, L(kRetriesInvalid).arg(kRetriesMin).arg(kRetriesMax)};
    }
    return {};
}

QString DeleteQuestion(const StationRecord& row) {
    const QString station = row.COMMENT.isEmpty()
                                ? row.IPADDRESS
                                : QStringLiteral("%1 (%2)").arg(row.IPADDRESS, row.COMMENT);
    return L(kDeleteQuestion).arg(station);
}

Result<void> StationEditor::Refuse(StationFormField field, const char* text) {
    m_problem = field;
    return Failure(L(text));
}

Result<void> StationEditor::Submit(StationDialogMode mode, const StationForm& form) {
    m_problem = StationFormField::None;
    if (form.filledAddressFields != 4) {
        return Refuse(StationFormField::Address, kAddressIncomplete);
    }
    const LookupResult found = m_directory.LookupStation(form.address);
    if (found.status == LookupStatus::Failed) {
        return *found.failure;
    }
    if (mode == StationDialogMode::Add && found.status == LookupStatus::Found) {
        return Refuse(StationFormField::Address, kAddressExists);
    }
    if (mode == StationDialogMode::Edit) {
        // Edit writes the row it was opened for and no other: an address
        // that belongs to another row would overwrite that station.
        if (found.status == LookupStatus::Found && form.address != form.opened.IPADDRESS) {
            return Refuse(StationFormField::Address, kAddressOfAnotherStation);
        }
        if (found.status == LookupStatus::NotFound) {
            return Refuse(StationFormField::Address, kAddressNotInTable);
        }
    }
    if (form.password.isEmpty()) {
        return Refuse(StationFormField::Password, kPasswordEmpty);
    }
    if (FieldProblem numbers = CheckNumberFields(mode, form);
        numbers.field != StationFormField::None) {
        m_problem = numbers.field;
        return Failure(numbers.text);
    }
    const StationRecord record{form.address, form.password, form.comment, QString(),
                               form.port,    form.timeout,  form.retries};
    Result<void> written = mode == StationDialogMode::Add ? m_directory.AddStation(record)
                                                          : m_directory.UpdateStation(record);
    if (!written) {
        return written.kind() == FailureKind::NotFound
                   ? Failure(L(kAddressNotInTable), FailureKind::NotFound)
                   : written;
    }
    m_reload();
    return written;
}

Result<StationRecord> StationEditor::CheckDelete(const QString& comboText) {
    // The text is taken whole: a cut would name another station.
    const QString address = comboText.trimmed();
    if (address == L(kProtectedAddress)) {
        return Failure(L(kProtectedRefused));
    }
    LookupResult found = m_directory.LookupStation(address);
    switch (found.status) {
        case LookupStatus::Found:
            return std::move(found.record);
        case LookupStatus::NotFound:
            return Failure(L(kDeleteNotInTable), FailureKind::NotFound);
        case LookupStatus::Failed:
            break;
    }
    return *found.failure;
}

Result<void> StationEditor::Delete(const QString& address) {
    if (address == L(kProtectedAddress)) {
        return Failure(L(kProtectedRefused));
    }
    Result<void> deleted = m_directory.DeleteStation(address);
    if (!deleted) {
        return deleted.kind() == FailureKind::NotFound
                   ? Failure(L(kDeleteNotInTable), FailureKind::NotFound)
                   : deleted;
    }
    m_reload();
    return deleted;
}

}  // namespace volnar
