// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <vector>

#include "core/message_service.h"
#include "support/qt_print.h"

namespace volnar::testing {

// Records every box and answers questions from a script (true = OK/Yes);
// when the script is empty it answers `defaultAnswer`.
class RecordingMessageService final : public MessageService {
public:
    struct Box {
        MessageIcon icon;
        QString text;
        MessageButtons buttons;
        QString caption;
    };

    bool Show(MessageIcon icon, const QString& text, MessageButtons buttons,
              const QString& caption) override {
        boxes.push_back({icon, text, buttons, caption});
        if (buttons == MessageButtons::Ok) {
            return true;
        }
        if (answers.empty()) {
            return defaultAnswer;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void ShowDetailed(MessageIcon icon, const QString& text, const QString& detail) override {
        details.push_back(detail);
        Show(icon, text, MessageButtons::Ok, QString::fromLatin1(kMessageCaption));
    }

    QStringList Texts() const {
        QStringList texts;
        for (const auto& box : boxes) {
            texts << box.text;
        }
        return texts;
    }

    std::vector<Box> boxes;
    std::deque<bool> answers;
    QStringList details;
    bool defaultAnswer = false;
};

}  // namespace volnar::testing
