// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAbstractButton;
class QDialog;

namespace volnar {

class BoardOperation;
class MessageService;

// A dialog's change on its way to the station. Everything typed stays until
// the station has taken it: `button` is disabled and says "Sending..." while
// `operation` is in flight, then gets its text back; the answer closes the
// dialog (accept), a refusal, a time-out or a failed send keeps it open and
// shows the box the link did not show itself. With `cancelWhenClosed` the
// operation ends when the dialog closes first (its answer then goes
// nowhere). The operation is deleted once it has ended.
void SendFromDialog(QDialog* dialog, QAbstractButton* button, BoardOperation* operation,
                    MessageService& messages, bool cancelWhenClosed = true);

}  // namespace volnar
