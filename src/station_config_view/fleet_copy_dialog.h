// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace volnar {

// Where a copy to the selected stations comes from: a station of the
// directory (not one of the targets) or a configuration file, and whether
// the station name goes too. It only collects: SourceChosen when accepted.
class CopySourceDialog final : public QDialog {
    Q_OBJECT

public:
    CopySourceDialog(const QStringList& targets, const QStringList& stations,
                     QWidget* parent = nullptr);

    // What the choice would give (tests: no file dialog opens).
    void ChooseStation(const QString& address);
    void ChooseFile(const QString& path);
    void SetCopyName(bool copy);
    void Accept();

Q_SIGNALS:
    // `file` is empty for a station, `station` for a file.
    void SourceChosen(const QString& station, const QString& file, bool copyName);

private:
    void Update();

    QRadioButton* m_fromStation;
    QRadioButton* m_fromFile;
    QComboBox* m_stations;
    QLineEdit* m_file;
    QCheckBox* m_copyName;
    QPushButton* m_ok;
};

// The plans of a copy to several stations in one list: a line per station
// with its state, its changes below it, each marked with its result as it
// comes; a progress bar and a summary. Nothing is sent before Confirmed;
// CancelRequested while sending. It only shows and collects: the work is
// the station_config library's.
class FleetCopyDialog final : public QDialog {
    Q_OBJECT

public:
    explicit FleetCopyDialog(QWidget* parent = nullptr);

    void SetHeading(const QString& text);
    void SetStations(const QStringList& addresses);
    void SetStationState(int station, const QString& text, bool failed);
    void SetChanges(int station, const QStringList& lines);
    // Change `item` of the station gets its result (a new line past the end).
    void MarkChange(int station, int item, const QString& text, bool done, const QString& why);
    void AskToConfirm(const QString& buttonText);
    void SetSending(bool sending);
    void SetProgress(int done, int total);
    void SetSummary(const QString& text);

    QString Heading() const;
    QString Summary() const;
    // "ADDRESS: state" and "  change" lines, in order (tests).
    QStringList Lines() const;
    QPushButton* ConfirmButton() const { return m_confirm; }
    QPushButton* CancelButton() const { return m_cancel; }
    // Not closed while sending: Cancel first, so no change is left halfway.
    void reject() override;

Q_SIGNALS:
    void Confirmed();
    void CancelRequested();

private:
    QLabel* m_heading;
    QTreeWidget* m_tree;
    QProgressBar* m_progress;
    QLabel* m_summary;
    QPushButton* m_confirm;
    QPushButton* m_cancel;
    QPushButton* m_close;
    bool m_sending = false;
};

}  // namespace volnar
