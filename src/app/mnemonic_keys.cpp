// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mnemonic_keys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace volnar {
namespace {

class MnemonicFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers held =
                key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
            if (held == Qt::AltModifier && !key->text().isEmpty()) {
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void KeepMnemonicsOut(QWidget* edit) {
    if (edit != nullptr) {
        edit->installEventFilter(new MnemonicFilter(edit));
    }
}

}  // namespace volnar
