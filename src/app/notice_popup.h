#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

namespace volnar {

// "VOLN MESSAGE": a confirmation in large red text that closes itself after
// one second. It has no close button, so the operator cannot cut it short;
// it never blocks the event loop (open(), not exec()). Deleted on close.
class NoticePopup final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NoticePopup)

public:
    static constexpr int kShowMilliseconds = 1000;

    NoticePopup(const QString& text, QWidget* parent = nullptr);
    QString Text() const;
    // Closes the popup now (when whoever times the notice says so).
    void Expire();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_label;
    QTimer m_timer;
    bool m_expired = false;
};

}  // namespace volnar
