// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_message_service.h"

#include <QMessageBox>
#include <QPointer>

#include "app/focus_return.h"

namespace volnar {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The station's and the original's texts end lines with "\r\n"; a Qt label
// would show the "\r".
QString Displayed(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    return text;
}

// The box belongs to a window that may close while it is open, and takes
// the box with it: it is made on the heap and deleted here only if it still
// exists (a box that went with its owner counts as cancelled).
int Run(const QPointer<QMessageBox>& box) {
    const int answer = box->exec();
    if (!box) {
        return QMessageBox::Cancel;
    }
    delete box.data();
    return answer;
}

}  // namespace

bool QtMessageService::Show(MessageIcon icon, const QString& text, MessageButtons buttons,
                            const QString& caption) {
    // Over the dialog the operator is in; the keyboard goes back there after.
    const FocusReturn focus;
    QPointer<QMessageBox> box = new QMessageBox(BoxIcon(icon), caption, Displayed(text),
                                                QMessageBox::NoButton, OwnerForNewWindow(m_owner));
    switch (buttons) {
        case MessageButtons::Ok:
            box->setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::YesNo:
            box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box->setDefaultButton(QMessageBox::No);
            break;
        case MessageButtons::OkCancel:
            box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
    }
    const int answer = Run(box);
    focus.Restore();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

void QtMessageService::ShowDetailed(MessageIcon icon, const QString& text, const QString& details) {
    const FocusReturn focus;
    QPointer<QMessageBox> box =
        new QMessageBox(BoxIcon(icon), QString::fromLatin1(kMessageCaption), Displayed(text),
                        QMessageBox::Ok, OwnerForNewWindow(m_owner));
    if (!details.isEmpty()) {
        box->setDetailedText(details);
    }
    Run(box);
    focus.Restore();
}

}  // namespace volnar
