// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/focus_return.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "app/notice_popup.h"

namespace volnar {

FocusReturn::FocusReturn() : FocusReturn(OwnerForNewWindow(nullptr)) {}

FocusReturn::FocusReturn(QWidget* window) : m_window(window) {
    if (m_window) {
        m_focus = m_window->focusWidget();
    }
}

void FocusReturn::Restore() const {
    if (!m_window || !m_window->isVisible()) {
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != m_window) {
        return;  // another dialog has the operator now
    }
    m_window->activateWindow();
    if (m_focus && m_focus->window() == m_window && m_focus->isVisible() && m_focus->isEnabled()) {
        m_focus->setFocus(Qt::ActiveWindowFocusReason);
    }
}

QWidget* OwnerForNewWindow(QWidget* fallback) {
    // The modal dialog on top is where the operator is, even while the
    // window system still reports its owner as the active window. A notice
    // lives one second: what opens over it belongs to the notice's owner.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (qobject_cast<NoticePopup*>(modal) && modal->parentWidget()) {
            return modal->parentWidget()->window();
        }
        return modal;
    }
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    return fallback;
}

void ReturnFocusWhenFinished(QDialog* dialog) {
    ReturnFocusWhenFinished(dialog, FocusReturn());
}

void ReturnFocusWhenFinished(QDialog* dialog, const FocusReturn& before) {
    if (!dialog || !before.Window() || before.Window() == dialog) {
        return;
    }
    QObject::connect(dialog, &QDialog::finished, before.Window(), [before] {
        before.Restore();
        // The window system may still hand the activation to the owner
        // afterwards: give it back once more when that has settled.
        QTimer::singleShot(0, before.Window(), [before] { before.Restore(); });
    });
}

}  // namespace volnar
