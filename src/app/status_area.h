// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;

namespace volnar {

// The main window's status bar: two rows of labels, so that every text shows
// whole at the default window size and scale (one row cut them: "round tr",
// "Directory not answer"). The first row holds the connection: "STATUS:",
// the state, the message and the age of the last answer; the second the
// directory's state, the recording and the product line, which stays empty
// rather than cut when the row has no room for it.
class StatusArea final : public QWidget {
public:
    explicit StatusArea(QWidget* parent = nullptr);

    QLabel* State() const { return m_state; }
    QLabel* Message() const { return m_message; }
    QLabel* Health() const { return m_health; }
    QLabel* Directory() const { return m_directory; }
    QLabel* Recording() const { return m_recording; }
    QLabel* Ticker() const { return m_ticker; }
    // The width its texts need, the size grip and the bar's margins included.
    int NeededWidthPx() const;

private:
    QLabel* m_state;
    QLabel* m_message;
    QLabel* m_health;
    QLabel* m_directory;
    QLabel* m_recording;
    QLabel* m_ticker;
};

}  // namespace volnar
