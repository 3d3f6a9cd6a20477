// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "core/result.h"

namespace volnar {

// Caption of every box the client shows (two leading spaces).
inline constexpr char kMessageCaption[] = "  Volnar";

enum class MessageIcon { None, Error, Information, Warning, Question };
enum class MessageButtons { Ok, YesNo, OkCancel };

// One modal message box. Core code reports through this interface so that
// only the GUI decides how a message is shown, and tests can record and answer
// boxes as scripted.
class MessageService {
public:
    virtual ~MessageService() = default;

    // Shows the box and returns true when the operator answered OK or Yes.
    virtual bool Show(MessageIcon icon, const QString& text,
                      MessageButtons buttons = MessageButtons::Ok,
                      const QString& caption = QString::fromLatin1(kMessageCaption)) = 0;

    // A box whose text stays as given, with a technical detail (a driver's
    // own message, say) the operator can unfold. Shown as a plain box by
    // services that have no place for details.
    virtual void ShowDetailed(MessageIcon icon, const QString& text, const QString& details) {
        Q_UNUSED(details);
        Show(icon, text);
    }

    // A failure an operation returned: a source that did not work always
    // with the error icon (and its detail, if any), a refusal with `icon`.
    void ShowFailure(const Failure& failure, MessageIcon icon = MessageIcon::None) {
        if (failure.kind == FailureKind::Unavailable) {
            icon = MessageIcon::Error;
        }
        if (failure.details.isEmpty()) {
            Show(icon, failure.text);
        } else {
            ShowDetailed(icon, failure.text, failure.details);
        }
    }
    void ShowError(const QString& text) { Show(MessageIcon::Error, text); }
    void ShowPlain(const QString& text) { Show(MessageIcon::None, text); }
    bool AskYesNo(const QString& text) {
        return Show(MessageIcon::Question, text, MessageButtons::YesNo);
    }
};

}  // namespace volnar
