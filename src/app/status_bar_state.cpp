// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/status_bar_state.h"

#include <utility>

namespace volnar {

void StatusBarState::SetLinkState(const QString& text) {
    m_linkState = text;
    m_silence.clear();
    Show(m_shown);
}

void StatusBarState::SetLinkMessage(const QString& text) {
    m_linkMessage = text;
    m_note.clear();
    Show(m_shown);
}

void StatusBarState::SetSilence(const QString& text) {
    m_silence = text;
    Show(m_shown);
}

void StatusBarState::SetNote(const QString& text) {
    m_note = text;
    Show(m_shown);
}

void StatusBarState::SetDirectory(const QString& text) {
    StatusBarTexts texts = m_shown;
    texts.directory = text;
    Show(std::move(texts));
}

void StatusBarState::SetHealth(const QString& text) {
    StatusBarTexts texts = m_shown;
    texts.health = text;
    Show(std::move(texts));
}

void StatusBarState::SetRecording(const QString& text, const QString& path) {
    StatusBarTexts texts = m_shown;
    texts.recording = text;
    texts.recordingPath = path;
    Show(std::move(texts));
}

void StatusBarState::Show(StatusBarTexts texts) {
    texts.state = m_silence.isEmpty() ? m_linkState : m_silence;
    texts.message = m_note.isEmpty() ? m_linkMessage : m_note;
    if (texts == m_shown) {
        return;
    }
    m_shown = std::move(texts);
    Q_EMIT Changed(m_shown);
}

}  // namespace volnar
