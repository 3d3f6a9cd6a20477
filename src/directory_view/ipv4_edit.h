// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <optional>

class QLineEdit;

namespace volnar {

// The four values of a dotted address "a.b.c.d" (each 0-255, at most three
// digits, blanks around the whole allowed); nullopt for anything else.
std::optional<std::array<int, 4>> ParseDottedAddress(const QString& text);

// An IPv4 address entry of four octet fields (0-255) separated by dots. It
// reports how many of the four fields are filled. A third digit moves on to
// the next field, and a "." typed right after that move is taken as the
// separator already passed; otherwise "." moves on. Backspace in an empty
// field moves back. A whole dotted address pasted into a field fills all
// four.
class Ipv4Edit final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Ipv4Edit)

public:
    explicit Ipv4Edit(QWidget* parent = nullptr);

    int FilledFields() const;
    // Dotted decimal, each field without leading zeros; empty fields as "0".
    QString Address() const;
    // Fills the fields from a dotted address; anything that is not one
    // leaves the fields empty.
    void SetAddress(const QString& address);
    void Clear();
    QLineEdit* Field(int index) const { return m_fields[index]; }

Q_SIGNALS:
    void FocusEntered();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MoveTo(int index);
    void TakePasted(int index, const QString& text);

    std::array<QLineEdit*, 4> m_fields{};
    // The field just entered by the automatic move after a third digit; a
    // "." typed next in it is the separator the operator meant.
    int m_advancedTo = -1;
};

}  // namespace volnar
