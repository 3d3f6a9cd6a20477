// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QTimer>

#include "app/about_text.h"

class QKeyEvent;
class QPlainTextEdit;

namespace volnar {

// "About VOLN": the About text typed out white on black, one character every
// 125 ms, starting again from the first character at the end and at every
// opening.
class AboutBox final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutBox)

public:
    static constexpr int kTickMilliseconds = 125;

    AboutBox(const QString& text, QWidget* parent = nullptr);

    QString Shown() const;
    void Tick();

protected:
    // Enter and Escape do nothing; only the caption's close box ends it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPlainTextEdit* m_edit;
    TypewriterTicker m_ticker;
    QTimer m_timer;
};

}  // namespace volnar
