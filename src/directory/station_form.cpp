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

bool StationEditor::Refuse(StationFormField field, const QString& text) {
    m_problem = field;
    m_messages.ShowPlain(text);
    return false;
}

bool StationEditor::Submit(StationDialogMode mode, const StationForm& form) {
    m_problem = StationFormField::None;
    if (form.filledAddressFields != 4) {
        return Refuse(StationFormField::Address, L(kAddressIncomplete));
    }
    const LookupResult found = m_directory.LookupStation(form.address);
    if (found.status == LookupStatus::Failed) {
        return false;
    }
    if (mode == StationDialogMode::Add && found.status == LookupStatus::Found) {
        return Refuse(StationFormField::Address, L(kAddressExists));
    }
    if (mode == StationDialogMode::Edit) {
        // Edit writes the row it was opened for and no other: an address
        // that belongs to another row would overwrite that station.
        if (found.status == LookupStatus::Found && form.address != form.opened.IPADDRESS) {
            return Refuse(StationFormField::Address, L(kAddressOfAnotherStation));
        }
        if (found.status == LookupStatus::NotFound) {
            return Refuse(StationFormField::Address, L(kAddressNotInTable));
        }
    }
    if (form.password.isEmpty()) {
        return Refuse(StationFormField::Password, L(kPasswordEmpty));
    }
    const FieldProblem numbers = CheckNumberFields(mode, form);
    if (numbers.field != StationFormField::None) {
        return Refuse(numbers.field, numbers.text);
    }
    const StationRecord record{form.address, form.password, form.comment, QString(),
                               form.port,    form.timeout,  form.retries};
    if (mode == StationDialogMode::Add) {
        if (!m_directory.AddStation(record)) {
            return false;
        }
        m_reload();
        return true;
    }
    switch (m_directory.UpdateStation(record)) {
        case WriteStatus::Done:
            m_reload();
            m_messages.ShowPlain(L(kStationUpdated));
            return true;
        case WriteStatus::NotFound:
            m_messages.ShowPlain(L(kAddressNotInTable));
            return false;
        case WriteStatus::Failed:
            break;
    }
    return false;
}

bool StationEditor::Delete(const QString& comboText) {
    // The text is taken whole: a cut would name another station.
    const QString address = comboText.trimmed();
    if (address == L(kProtectedAddress)) {
        m_messages.ShowPlain(L(kProtectedRefused));
        return false;
    }
    const LookupResult found = m_directory.LookupStation(address);
    if (found.status == LookupStatus::Failed) {
        return false;
    }
    if (found.status == LookupStatus::NotFound) {
        m_messages.ShowPlain(L(kDeleteNotInTable));
        return false;
    }
    const QString station = found.record.COMMENT.isEmpty()
                                ? address
                                : QStringLiteral("%1 (%2)").arg(address, found.record.COMMENT);
    if (!m_messages.AskYesNo(L(kDeleteQuestion).arg(station))) {
        return false;
    }
    switch (m_directory.DeleteStation(address)) {
        case WriteStatus::Done:
            m_reload();
            m_messages.ShowPlain(L(kStationDeleted));
            return true;
        case WriteStatus::NotFound:
            m_messages.ShowPlain(L(kDeleteNotInTable));
            return false;
        case WriteStatus::Failed:
            break;
    }
    return false;
}

}  // namespace volnar
