// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory_view/ipv4_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QValidator>

namespace volnar {
namespace {

// Longest text a field takes: a pasted address with some blanks around it.
constexpr int kPasteMaxLength = 32;

// One octet, 0-255 with at most three digits. A whole dotted address is let
// through as intermediate so that a paste reaches the edit, which spreads it
// over the four fields; QIntValidator would let "999" through too.
class OctetValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        static const QRegularExpression octet(
            QStringLiteral("^([01]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5])?$"));
        if (octet.match(input).hasMatch()) {
            return Acceptable;
        }
        return ParseDottedAddress(input) ? Intermediate : Invalid;
    }
};

}  // namespace

std::optional<std::array<int, 4>> ParseDottedAddress(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    std::array<int, 4> values{};
    for (int i = 0; i < 4; ++i) {
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > 3) {
            return std::nullopt;
        }
        for (const QChar c : part) {
            if (c < u'0' || c > u'9') {
                return std::nullopt;
            }
        }
        values[i] = part.toInt();
        if (values[i] > 255) {
            return std::nullopt;
        }
    }
    return values;
}

Ipv4Edit::Ipv4Edit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("octet%1").arg(i + 1));
        field->setMaxLength(kPasteMaxLength);
        field->setValidator(new OctetValidator(field));
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
        field->setAccessibleName(tr("IP address part %1").arg(i + 1));
        field->installEventFilter(this);
        m_fields[i] = field;
        layout->addWidget(field);
        if (i < 3) {
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        }
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.contains(QLatin1Char('.'))) {
                TakePasted(i, text);
            } else if (text.size() == 3 && i < 3) {
                MoveTo(i + 1);
                m_advancedTo = i + 1;
            }
        });
    }
    layout->addStretch(1);
    setFocusProxy(m_fields[0]);
}

int Ipv4Edit::FilledFields() const {
    int filled = 0;
    for (const QLineEdit* field : m_fields) {
        filled += field->text().isEmpty() ? 0 : 1;
    }
    return filled;
}

QString Ipv4Edit::Address() const {
    QStringList parts;
    for (const QLineEdit* field : m_fields) {
        parts << QString::number(field->text().toInt());
    }
    return parts.join(QLatin1Char('.'));
}

void Ipv4Edit::SetAddress(const QString& address) {
    Clear();
    if (const auto values = ParseDottedAddress(address)) {
        for (int i = 0; i < 4; ++i) {
            m_fields[i]->setText(QString::number((*values)[i]));
        }
    }
}

void Ipv4Edit::Clear() {
    for (QLineEdit* field : m_fields) {
        field->clear();
    }
}

void Ipv4Edit::MoveTo(int index) {
    m_fields[index]->setFocus(Qt::TabFocusReason);
    m_fields[index]->selectAll();
}

void Ipv4Edit::TakePasted(int index, const QString& text) {
    const auto values = ParseDottedAddress(text);
    if (!values) {
        // The validator lets only whole addresses through; nothing else
        // stays in a field.
        m_fields[index]->clear();
        return;
    }
    for (int i = 0; i < 4; ++i) {
        m_fields[i]->setText(QString::number((*values)[i]));
    }
    m_fields[3]->setFocus(Qt::OtherFocusReason);
    m_fields[3]->end(false);
}

bool Ipv4Edit::eventFilter(QObject* watched, QEvent* event) {
    const auto it = std::find(m_fields.begin(), m_fields.end(), watched);
    if (it == m_fields.end()) {
        return QWidget::eventFilter(watched, event);
    }
    const int index = static_cast<int>(it - m_fields.begin());
    if (event->type() == QEvent::FocusIn) {
        Q_EMIT FocusEntered();
    } else if (event->type() == QEvent::FocusOut) {
        m_advancedTo = -1;
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool advancedHere = m_advancedTo == index;
        m_advancedTo = -1;
        if (key->key() == Qt::Key_Period || key->key() == Qt::Key_Space) {
            // Right after the automatic move the separator has been passed
            // already: the "." is absorbed, not a second move.
            if (index < 3 && !advancedHere) {
                MoveTo(index + 1);
            }
            return true;
        }
        if (key->key() == Qt::Key_Backspace && index > 0 && m_fields[index]->text().isEmpty()) {
            m_fields[index - 1]->setFocus(Qt::BacktabFocusReason);
            m_fields[index - 1]->end(false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace volnar
