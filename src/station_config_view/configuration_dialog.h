// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QDialogButtonBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace volnar {

// The mark before a change's or line's result: a tick or a cross; the text
// after it still says the result for screen readers.
QString ResultMark(bool done);

// The window of a configuration backup, comparison or restore: what is
// done to which station, one line per difference or planned change (each
// marked with its result as it comes), a progress bar and a summary. It
// only shows and collects: the work is the station_config library's.
class ConfigurationDialog final : public QDialog {
    Q_OBJECT

public:
    ConfigurationDialog(const QString& title, QWidget* parent = nullptr);

    void SetHeading(const QString& text);
    void SetLines(const QStringList& lines);
    // Shows the button that starts the work; Confirmed when pressed.
    void AskToConfirm(const QString& buttonText);
    // The next unmarked line with this text (or a new one) gets its result.
    void MarkLine(const QString& text, bool done, const QString& why = {});
    void SetProgress(int done, int total);
    void SetSummary(const QString& text);

    QStringList Lines() const;
    QString Summary() const;

Q_SIGNALS:
    void Confirmed();

private:
    QLabel* m_heading;
    QListWidget* m_lines;
    QProgressBar* m_progress;
    QLabel* m_summary;
    QPushButton* m_confirm;
    QPushButton* m_close;
    QDialogButtonBox* m_buttons;
};

}  // namespace volnar
