#include "directory/ipv4_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace volnar {

Ipv4Edit::Ipv4Edit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("octet%1").arg(i + 1));
        field->setMaxLength(3);
        // 0-255 with at most three digits; QIntValidator would let "999"
        // through as an intermediate value.
        field->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[01]?[0-9]?[0-9]|2[0-4][0-9]|25[0-5]")), field));
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
        field->setAccessibleName(tr("Address field %1").arg(i + 1));
        field->installEventFilter(this);
        m_fields[i] = field;
        layout->addWidget(field);
        if (i < 3) {
            layout->addWidget(new QLabel(QStringLiteral("."), this));
            connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
                if (text.size() == 3) {
                    m_fields[i + 1]->setFocus();
                    m_fields[i + 1]->selectAll();
                }
            });
        }
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
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return;
    }
    std::array<int, 4> values{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok || parts[i].size() > 3 || values[i] < 0 || values[i] > 255) {
            return;
        }
    }
    for (int i = 0; i < 4; ++i) {
        m_fields[i]->setText(QString::number(values[i]));
    }
}

void Ipv4Edit::Clear() {
    for (QLineEdit* field : m_fields) {
        field->clear();
    }
}

bool Ipv4Edit::eventFilter(QObject* watched, QEvent* event) {
    const auto it = std::find(m_fields.begin(), m_fields.end(), watched);
    if (it == m_fields.end()) {
        return QWidget::eventFilter(watched, event);
    }
    const int index = static_cast<int>(it - m_fields.begin());
    if (event->type() == QEvent::FocusIn) {
        Q_EMIT FocusEntered();
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Period || key->key() == Qt::Key_Space) && index < 3) {
            m_fields[index + 1]->setFocus();
            m_fields[index + 1]->selectAll();
            return true;
        }
        if (key->key() == Qt::Key_Backspace && index > 0 && m_fields[index]->text().isEmpty()) {
            m_fields[index - 1]->setFocus();
            m_fields[index - 1]->end(false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace volnar
