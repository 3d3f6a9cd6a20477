// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/about_box.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace volnar {

AboutBox::AboutBox(const QString& text, QWidget* parent)
    : QDialog(parent), m_edit(new QPlainTextEdit(this)), m_ticker(text) {
    setWindowTitle(tr("About VOLN"));
    setObjectName(QStringLiteral("aboutBox"));
    m_edit->setObjectName(QStringLiteral("aboutText"));
    m_edit->setReadOnly(true);
    m_edit->setAccessibleName(tr("About VOLN text"));
    m_edit->setFrameShape(QFrame::NoFrame);
    m_edit->setStyleSheet(QStringLiteral("QPlainTextEdit { background: black; color: white; }"));
    // The typewriter's own face where it is installed, else a plain sans
    // serif (a "fantasy" fallback may be a symbol font).
    QFont font;
    font.setFamilies({QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(21);
    m_edit->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    resize(560, 360);

    m_timer.setInterval(kTickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &AboutBox::Tick);
    m_timer.start();
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Enter:
        case Qt::Key_Return:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

QString AboutBox::Shown() const {
    return m_edit->toPlainText();
}

void AboutBox::Tick() {
    const TypewriterTicker::Step step = m_ticker.Tick();
    switch (step.action) {
        case TypewriterTicker::Action::Clear:
            m_edit->clear();
            break;
        case TypewriterTicker::Action::Append: {
            QTextCursor cursor = m_edit->textCursor();
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(step.text);
            m_edit->setTextCursor(cursor);
            m_edit->ensureCursorVisible();
            break;
        }
        case TypewriterTicker::Action::Nothing:
            break;
    }
}

}  // namespace volnar
