#include <gtest/gtest.h>

#include "trend/trend_window.h"

namespace volnar {
namespace {

TEST(TrendWindow, ValueUnderTheCursorIsTheNearestSampleOrTheLoss) {
    SampleHistory history(16);
    for (std::int64_t t : {10, 11, 12, 14}) {
        history.Append({.timeMs = t * 1000, .readings = {static_cast<float>(t) + 0.25F}});
        if (t == 12) {
            history.AppendGap(13'000);
        }
    }
    history.names[0] = QStringLiteral("Battery");
    history.units[0] = QStringLiteral("V");
    TrendWindow window(history);
    const struct {
        double timeS;
        const char* ends;
    } cases[] = {
        {.timeS = 5.0, .ends = "Battery (V) = 10.25"},   // before the first
        {.timeS = 11.4, .ends = "Battery (V) = 11.25"},  // nearer the earlier
        {.timeS = 11.6, .ends = "Battery (V) = 12.25"},  // nearer the later
        {.timeS = 13.2, .ends = "no answer"},
        {.timeS = 99.0, .ends = "Battery (V) = 14.25"},  // after the last
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(window.ValueText(c.timeS).endsWith(QString::fromLatin1(c.ends)))
            << c.timeS << ": " << window.ValueText(c.timeS).toStdString();
    }
    EXPECT_TRUE(window.NoticeText().isEmpty());
    window.OnHistoryRestarted();
    EXPECT_TRUE(window.NoticeText().contains(QStringLiteral("new history")));
}

}  // namespace
}  // namespace volnar
