// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/message_service.h"

namespace volnar {

// Modal QMessageBox owned by the given window (the main window, or the
// dialog the message belongs to).
class QtMessageService final : public MessageService {
public:
    explicit QtMessageService(QWidget* owner = nullptr) : m_owner(owner) {}
    void SetOwner(QWidget* owner) { m_owner = owner; }

    bool Show(MessageIcon icon, const QString& text, MessageButtons buttons,
              const QString& caption) override;
    void ShowDetailed(MessageIcon icon, const QString& text, const QString& details) override;

private:
    QPointer<QWidget> m_owner;
};

}  // namespace volnar
