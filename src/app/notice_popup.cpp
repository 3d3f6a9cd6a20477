// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/notice_popup.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace volnar {

NoticePopup::NoticePopup(const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_label(new QLabel(text, this)) {
    setWindowTitle(tr("VOLN MESSAGE"));
    setObjectName(QStringLiteral("noticePopup"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_label->setObjectName(QStringLiteral("noticeText"));
    m_label->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(28);
    m_label->setFont(font);
    m_label->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    setMinimumWidth(m_label->sizeHint().width() + 48);
}

QString NoticePopup::Text() const {
    return m_label->text();
}

void NoticePopup::Expire() {
    if (m_expired) {
        return;
    }
    m_expired = true;
    done(QDialog::Accepted);
}

void NoticePopup::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog; the notice stays its full second.
    event->accept();
}

void NoticePopup::closeEvent(QCloseEvent* event) {
    if (m_expired) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace volnar
