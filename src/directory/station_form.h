#pragma once

#include <QString>
#include <functional>

#include "directory/station_directory.h"

namespace volnar {

enum class StationDialogMode { Add, Edit };

// Texts of the station dialogs.
inline constexpr char kAddressIncomplete[] = " Shazbot IP Address!!\r\n";
inline constexpr char kAddressExists[] = "This IP Address already exists in the database!";
inline constexpr char kAddressNotInTable[] =
    "This IP Address is not in the database!\r\nUse Add IP to add it.";
inline constexpr char kPasswordEmpty[] = " Shazbot Password!!\r\n";
inline constexpr char kStationUpdated[] = " IP Address Updated SucSuccessfully";
inline constexpr char kProtectedRefused[] = "Don't Delete the Default IP!";
inline constexpr char kStationDeleted[] = "IP Address Deleted From Database !";
inline constexpr char kDeleteNotInTable[] =
    "This IP Address is not in the database!\r\nNothing was deleted.";

// What the Add IP / Edit IP dialog read from its fields.
struct StationForm {
    int filledAddressFields = 0;  // of the four
    QString address;              // dotted, as the address entry formats it
    QString password;
    QString comment;
    QString port;
    QString timeout;
    QString retries;
};

// The station dialogs' checks and writes, in their fixed order: the address
// complete, then its presence in the table (absent for Add, present for
// Edit), then the password. Every refusal and failure is reported; the
// dialog closes only when the write succeeded, so nothing typed is lost.
class StationEditor final {
public:
    StationEditor(StationDirectory& directory, MessageService& messages,
                  std::function<void()> reloadChooser)
        : m_directory(directory), m_messages(messages), m_reload(std::move(reloadChooser)) {}

    // True when the row was written (the dialog may close).
    bool Submit(StationDialogMode mode, const StationForm& form);

    // The Delete IP dialog's DELETE: true when a row went away (the dialog
    // may close); the protected station is never deleted.
    bool Delete(const QString& comboText);

private:
    StationDirectory& m_directory;
    MessageService& m_messages;
    std::function<void()> m_reload;
};

}  // namespace volnar
