// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace volnar {

// What the main window's status bar shows, one text per label.
struct StatusBarTexts {
    QString state;          // the connection state, or how long the station has been silent
    QString message;        // the link's message line, or a note over it
    QString directory;      // empty while the directory answers
    QString health;         // the last answer's age and round trip
    QString recording;      // empty when not recording
    QString recordingPath;  // the whole path, for the tooltip
    bool operator==(const StatusBarTexts&) const = default;
};

// The one owner of the status bar's texts. The link, the station watch and
// the directory each set their own part; the labels show what this holds,
// and nobody reads a label back to write it again.
//
// Two parts are shared, and the newer writer wins: the watch's "No answer
// for N s" covers the link's state until the link names a new state, and a
// note (the unattended restart's) covers the link's message until the link
// says something new.
class StatusBarState final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    void SetLinkState(const QString& text);
    void SetLinkMessage(const QString& text);
    // Empty: the link's state shows again.
    void SetSilence(const QString& text);
    void SetNote(const QString& text);
    void SetDirectory(const QString& text);
    void SetHealth(const QString& text);
    void SetRecording(const QString& text, const QString& path = QString());

    const StatusBarTexts& Texts() const { return m_shown; }

Q_SIGNALS:
    void Changed(const volnar::StatusBarTexts& texts);

private:
    // Shows `texts` with the shared parts decided; nothing when nothing changed.
    void Show(StatusBarTexts texts);

    QString m_linkState;
    QString m_linkMessage;
    QString m_silence;
    QString m_note;
    StatusBarTexts m_shown;
};

}  // namespace volnar
