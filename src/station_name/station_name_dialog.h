// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class StationNameDialog;
}

namespace volnar {

class BoardLink;
class MessageService;

inline constexpr int kStationNameMaxLength = 48;
inline constexpr char kZeroLengthRefused[] = "Zero Length Fields Not Allowed!";
inline constexpr char kRenameCaption[] = "Change Station Name ?";
inline constexpr char kRenameQuestion[] =
    "Changing the Station Name causes the VOLN board to\n\r"
    "rewrite some config files and restart some services\n\r"
    "that rely on the station name. This takes a few\r\n"
    "seconds. Do you want to continue?\r\n";

// "Set Station Name": renames the station after the operator
// confirms; the station restarts some services when it is renamed.
class StationNameDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StationNameDialog)

public:
    StationNameDialog(const QString& currentName, BoardLink& link, MessageService& messages,
                      QWidget* parent = nullptr);
    ~StationNameDialog() override;

private:
    void Submit();

    std::unique_ptr<Ui::StationNameDialog> m_ui;
    BoardLink& m_link;
    MessageService& m_messages;
};

}  // namespace volnar
