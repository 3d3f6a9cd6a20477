// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QIcon>
#include <QPixmap>
#include <utility>
#include <vector>

#include "app/pictures.h"
#include "lists/list_pictures.h"
#include "scripts/script_pictures.h"

namespace volnar {
namespace {

// Every icon file compiled in draws (the SVG plugins are there and the file
// parses), and every picture the client asks for names a file that exists.
TEST(IconFiles, EveryIconFileAndEveryPictureLoads) {
    int files = 0;
    for (QDirIterator it(QStringLiteral(":/icons")); it.hasNext(); ++files) {
        const QString file = it.next();
        EXPECT_FALSE(QPixmap(file).isNull()) << file.toStdString();
        EXPECT_FALSE(QIcon(file).pixmap(48).isNull()) << file.toStdString();
    }
    EXPECT_GT(files, 0) << "no icon files compiled in";

    std::vector<std::pair<QString, QPixmap>> pictures{
        {"application", MakePicture(Picture::Application).pixmap(32)},
        {"thermometer", MakePicture(Picture::Thermometer).pixmap(32)},
        {"database", MakePicture(Picture::Database).pixmap(32)},
        {"relay script", scripts::RelayScriptPicture()},
        {"I/O script", scripts::IoScriptPicture()}};
    for (int pin = 0; pin < 5; ++pin) {
        pictures.emplace_back(QStringLiteral("alarm pin %1").arg(pin + 1),
                              MakePicture(Picture::AlarmPin, pin).pixmap(32));
    }
    for (const QPixmap& image : ListActionImages()) {
        EXPECT_EQ(image.size(), QSize(16, 16)) << "a list row is 18 pixels high";
        pictures.emplace_back(QStringLiteral("list action"), image);
    }
    for (const auto& [name, pixmap] : pictures) {
        EXPECT_FALSE(pixmap.isNull()) << name.toStdString();
    }
}

}  // namespace
}  // namespace volnar
