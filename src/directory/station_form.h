// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

#include "directory/station_directory.h"

class QObject;

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
inline constexpr char kAddressOfAnotherStation[] =
    "This IP Address belongs to another station in the database!\r\n"
    "Edit IP changes only the station it was opened for.";
// "%1" is the station: its address, and its comment in brackets.
inline constexpr char kDeleteQuestion[] = "Delete the station %1 from the database?";
inline constexpr char kPortInvalid[] = "Port Number must be a whole number from 1 to 65535.";
inline constexpr char kTimeoutInvalid[] = "Timeout must be a whole number from %1 to %2.";
inline constexpr char kRetriesInvalid[] = "Retries must be a whole number from %1 to %2.";

// What a station can be polled with (kTimeoutMin … kRetriesMax of
// core/station_record.h, which station_directory.h brings): the time-out
// counts in units of 0.64 s.
enum class StationFormField { None, Address, Password, Port, Timeout, Retries };

// What the Add IP / Edit IP dialog read from its fields.
struct StationForm {
    StationRecord opened;         // Edit: the row as the dialog was opened with it
    int filledAddressFields = 0;  // of the four
    QString address;              // dotted, as the address entry formats it
    QString password;
    QString comment;
    QString port;
    QString timeout;
    QString retries;
};

// The first of port, time-out and retries that is not a whole number in its
// range (StationFormField::None when all three are), with the text saying so.
// Edit checks only a value the operator changed: one left as the row holds
// it is accepted whatever it is (the template's row has no TIMEOUT, a
// hand-made row may hold 0, and the link reads those as net-snmp's
// default), so such a row can still be edited.
struct FieldProblem {
    StationFormField field = StationFormField::None;
    QString text;
};
FieldProblem CheckNumberFields(StationDialogMode mode, const StationForm& form);

// The question Delete IP asks before it deletes this row.
QString DeleteQuestion(const StationRecord& row);

// The station dialogs' checks and writes, in their fixed order: the address
// complete, then its presence in the table (absent for Add; for Edit, the
// row being edited and no other), then the password, then port, time-out
// and retries. Every refusal and failure is returned with the text the
// dialog shows; the dialog closes only when the write succeeded, so nothing
// typed is lost.
class StationEditor final {
public:
    StationEditor(StationDirectory& directory, std::function<void()> reloadChooser)
        : m_directory(directory), m_reload(std::move(reloadChooser)) {}

    // Done when the row was written (the dialog may close; Edit then says
    // kStationUpdated). After a refusal, ProblemField() names the field to
    // correct.
    Result<void> Submit(StationDialogMode mode, const StationForm& form);
    StationFormField ProblemField() const { return m_problem; }

    // The Delete IP dialog's DELETE, in two steps around the operator's
    // Yes: first the row the combo's text names — exactly one address in the
    // table, never the protected station — then the delete of that address
    // (done when a row went away, and the dialog may close).
    Result<StationRecord> CheckDelete(const QString& comboText);
    Result<void> Delete(const QString& address);

private:
    Result<void> Refuse(StationFormField field, const char* text);

    StationFormField m_problem = StationFormField::None;
    StationDirectory& m_directory;
    std::function<void()> m_reload;
};

// How the station dialogs reach the directory. The answer may come later
// (through the directory worker); `done` then runs on `context`'s thread,
// and not at all once `context` is gone.
class StationWrites {
public:
    virtual ~StationWrites() = default;
    // How the write ended and, after a refusal, the field it is about.
    using SubmitDone = std::function<void(const Result<void>& written, StationFormField problem)>;
    virtual void Submit(StationDialogMode mode, const StationForm& form, QObject* context,
                        SubmitDone done) = 0;
    virtual void CheckDelete(const QString& comboText, QObject* context,
                             std::function<void(const Result<StationRecord>&)> done) = 0;
    virtual void Delete(const QString& address, QObject* context,
                        std::function<void(const Result<void>&)> done) = 0;
    virtual void LoadAddressList(QObject* context,
                                 std::function<void(const Result<AddressList>&)> done) = 0;
};

// At once, on the caller's thread.
class DirectStationWrites final : public StationWrites {
public:
    // Without a directory there is no address list.
    explicit DirectStationWrites(StationEditor& editor, StationDirectory* directory = nullptr)
        : m_editor(editor), m_directory(directory) {}
    void Submit(StationDialogMode mode, const StationForm& form, QObject*,
                SubmitDone done) override {
        const Result<void> written = m_editor.Submit(mode, form);
        done(written, m_editor.ProblemField());
    }
    void CheckDelete(const QString& comboText, QObject*,
                     std::function<void(const Result<StationRecord>&)> done) override {
        done(m_editor.CheckDelete(comboText));
    }
    void Delete(const QString& address, QObject*,
                std::function<void(const Result<void>&)> done) override {
        done(m_editor.Delete(address));
    }
    void LoadAddressList(QObject*, std::function<void(const Result<AddressList>&)> done) override {
        if (m_directory != nullptr) {
            done(m_directory->LoadAddressList());
        }
    }

private:
    StationEditor& m_editor;
    StationDirectory* m_directory;
};

}  // namespace volnar
