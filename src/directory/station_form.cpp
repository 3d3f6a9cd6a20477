#include "directory/station_form.h"

namespace volnar {
namespace {

QString L(const char* text) {
    return QString::fromLatin1(text);
}

}  // namespace

bool StationEditor::Submit(StationDialogMode mode, const StationForm& form) {
    if (form.filledAddressFields != 4) {
        m_messages.ShowPlain(L(kAddressIncomplete));
        return false;
    }
    const LookupResult found = m_directory.LookupStation(form.address);
    if (found.status == LookupStatus::Failed) {
        return false;
    }
    if (mode == StationDialogMode::Add && found.status == LookupStatus::Found) {
        m_messages.ShowPlain(L(kAddressExists));
        return false;
    }
    if (mode == StationDialogMode::Edit && found.status == LookupStatus::NotFound) {
        m_messages.ShowPlain(L(kAddressNotInTable));
        return false;
    }
    if (form.password.isEmpty()) {
        m_messages.ShowPlain(L(kPasswordEmpty));
        return false;
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
    const QString address = comboText.left(kAddressMaxLength);
    if (address == L(kProtectedAddress)) {
        m_messages.ShowPlain(L(kProtectedRefused));
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
