#pragma once

#include <QWidget>
#include <array>

class QLineEdit;

namespace volnar {

// An IPv4 address entry of four octet fields (0-255) separated by dots. It
// reports how many of the four fields are filled; "." or a third digit moves
// on to the next field, Backspace in an empty field moves back.
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
    std::array<QLineEdit*, 4> m_fields{};
};

}  // namespace volnar
