// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

class QDialog;

namespace volnar {

// The window the operator was working in and the control that had the
// keyboard, taken before a box or a dialog opens over it. Given back when
// that one closes, so that typing goes on where it was instead of landing
// in a window the open dialogs block. Nothing is given back while another
// modal window has taken over meanwhile.
class FocusReturn final {
public:
    // Takes the window the operator is in (the modal dialog on top, else
    // the active window) and its focused control now.
    FocusReturn();
    // Takes `window` and its focused control.
    explicit FocusReturn(QWidget* window);
    void Restore() const;
    QWidget* Window() const { return m_window; }

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_focus;
};

// The window a new box or dialog belongs to: the modal dialog the operator
// is in, else the active window, else `fallback`.
QWidget* OwnerForNewWindow(QWidget* fallback);

// Gives the keyboard back to the window that is active now (call it before
// `dialog` opens), or to `before`, once `dialog` has finished.
void ReturnFocusWhenFinished(QDialog* dialog);
void ReturnFocusWhenFinished(QDialog* dialog, const FocusReturn& before);

}  // namespace volnar
