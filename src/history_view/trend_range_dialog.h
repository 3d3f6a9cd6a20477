// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QTimeZone>
#include <cstdint>
#include <optional>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace volnar {

// A free range of the trend plot: From and To typed as dates and times in
// the plot's time zone ("2023-11-14 22:30:00", seconds optional), OK only
// while both read as times and To is after From. Keys: Tab between the
// fields (each selects its text), Enter takes the range, Escape leaves the
// plot as it was.
class TrendRangeDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrendRangeDialog)

public:
    // Opens on [fromWallMs, toWallMs] (milliseconds since the epoch).
    TrendRangeDialog(std::int64_t fromWallMs, std::int64_t toWallMs, const QTimeZone& zone,
                     QWidget* parent = nullptr);
    ~TrendRangeDialog() override;

    // The times typed; nothing for a text that is no time.
    std::optional<std::int64_t> FromWallMs() const;
    std::optional<std::int64_t> ToWallMs() const;

private:
    void Check();

    QTimeZone m_zone;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QLabel* m_why = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

}  // namespace volnar
