#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "directory/station_form.h"

namespace Ui {
class StationDialog;
class DeleteStationDialog;
}  // namespace Ui

class QLabel;

namespace volnar {

// How the station dialogs reach the directory. The answer may come later
// (through the directory worker); `done` then runs on `context`'s thread,
// and not at all once `context` is gone.
class StationWrites {
public:
    virtual ~StationWrites() = default;
    // done(true, None) when the row was written; otherwise the field the
    // refusal is about, if any.
    using SubmitDone = std::function<void(bool written, StationFormField problem)>;
    virtual void Submit(StationDialogMode mode, const StationForm& form, QObject* context,
                        SubmitDone done) = 0;
    // done(true) when a row went away.
    virtual void Delete(const QString& comboText, QObject* context,
                        std::function<void(bool)> done) = 0;
    // done only when the list could be read.
    virtual void LoadAddressList(QObject* context,
                                 std::function<void(const AddressList&)> done) = 0;
};

// At once, on the caller's thread.
class DirectStationWrites final : public StationWrites {
public:
    // Without a directory there is no address list.
    explicit DirectStationWrites(StationEditor& editor, StationDirectory* directory = nullptr)
        : m_editor(editor), m_directory(directory) {}
    void Submit(StationDialogMode mode, const StationForm& form, QObject*,
                SubmitDone done) override {
        const bool written = m_editor.Submit(mode, form);
        done(written, m_editor.ProblemField());
    }
    void Delete(const QString& comboText, QObject*, std::function<void(bool)> done) override {
        done(m_editor.Delete(comboText));
    }
    void LoadAddressList(QObject*, std::function<void(const AddressList&)> done) override {
        if (m_directory == nullptr) {
            return;
        }
        if (const auto list = m_directory->LoadAddressList()) {
            done(*list);
        }
    }

private:
    StationEditor& m_editor;
    StationDirectory* m_directory;
};

// "Add IP" / "Edit IP": one dialog, two modes. The label of the field with
// the keyboard focus is drawn red. OK closes it only when the row was
// written; a refusal or a failed write keeps everything the operator typed.
// While the directory has not answered, its buttons are off and its title
// says that it is waiting.
class StationDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationDialog)

public:
    // Edit mode fills the fields from the chosen station's row.
    StationDialog(StationDialogMode mode, StationWrites& writes, const StationRecord& chosen,
                  QWidget* parent = nullptr);
    StationDialog(StationDialogMode mode, StationEditor& editor, const StationRecord& chosen,
                  QWidget* parent = nullptr);
    ~StationDialog() override;

    StationForm Form() const;
    // The label drawn red, for tests.
    QLabel* MarkedLabel() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Submit();
    // The keyboard goes back to the field a refusal is about.
    void FocusProblem(StationFormField problem);
    void MarkLabel(QLabel* label);

    std::unique_ptr<StationWrites> m_ownWrites;
    std::unique_ptr<Ui::StationDialog> m_ui;
    StationDialogMode m_mode;
    QString m_editedAddress;
    StationWrites& m_writes;
    QLabel* m_marked = nullptr;
};

// "Delete IP": the bare addresses of the table, the default preselected.
class DeleteStationDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeleteStationDialog)

public:
    explicit DeleteStationDialog(StationWrites& writes, QWidget* parent = nullptr);
    DeleteStationDialog(StationEditor& editor, StationDirectory& directory,
                        QWidget* parent = nullptr);
    ~DeleteStationDialog() override;

private:
    void Fill(const QString& typed = QString(), bool keepTyped = false);
    void Delete();

    std::unique_ptr<StationWrites> m_ownWrites;
    std::unique_ptr<Ui::DeleteStationDialog> m_ui;
    StationWrites& m_writes;
};

}  // namespace volnar
