// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;

namespace volnar {

// "VOLN MESSAGE": a confirmation in large red text. The notice queue's timer
// owns its second: the popup stays until Expire() (NoticeQueue::NoticeHidden).
// It has no close button, so the operator cannot cut it short; it never
// blocks the event loop (open(), not exec()). Deleted on close.
class NoticePopup final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NoticePopup)

public:
    NoticePopup(const QString& text, QWidget* parent = nullptr);
    QString Text() const;
    // Closes the popup (when the notice queue hides the notice).
    void Expire();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_label;
    bool m_expired = false;
};

}  // namespace volnar
