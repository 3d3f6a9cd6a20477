// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace volnar {

// The About text: typed out by the About box one character per tick.
// Character 1 is a pause of one tick, 10 a new line.
inline constexpr char kPauseCharacter = '\x01';

// The text with its four-character year field (the end of the ownership
// line's year range) overwritten by year; a year that is not four digits
// leaves the field as it is.
QString AboutText(int year);

// "0.7.4.5", the version the program was built as; "0.0.0.0.0.0" when the
// build carried none.
QString BuildNumberText(const char* compiledVersion);

// One step of the About box's typewriter over a text.
class TypewriterTicker final {
public:
    enum class Action { Append, Clear, Nothing };
    struct Step {
        Action action = Action::Nothing;
        QString text;  // what to append
    };

    explicit TypewriterTicker(QString text) : m_text(std::move(text)) {}

    // The character at the position: the end of the text clears and starts
    // again, a printable character or a new line is appended, a pause shows
    // nothing for one tick (so does any other control character).
    Step Tick();
    void Restart() { m_position = 0; }
    qsizetype Position() const { return m_position; }

private:
    QString m_text;
    qsizetype m_position = 0;
};

}  // namespace volnar
