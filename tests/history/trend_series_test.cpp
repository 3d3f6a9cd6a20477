#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "history/trend_view.h"

namespace volnar {
namespace {

// Zoom and pan of a history from 1,000 s to 4,600 s, starting from the last
// five minutes followed.
TEST(TrendView, ZoomAndPanStopAtOneSampleAndAtTheWholeHistory) {
    SampleHistory history(4000);
    for (std::int64_t t = 1000; t <= 4600; ++t) {
        history.Append({.timeMs = t * 1000});
    }
    using Step = std::function<void(TrendView&)>;
    const auto zoom = [&history](bool in) -> Step {
        return [&history, in](TrendView& v) { v.Zoom(in, history); };
    };
    const auto pan = [&history](int tenths) -> Step {
        return [&history, tenths](TrendView& v) { v.Pan(tenths, history); };
    };
    const auto show = [&history](std::int64_t from, std::int64_t to) -> Step {
        return [&history, from, to](TrendView& v) { v.Show({from, to}, history); };
    };
    constexpr std::int64_t kFar = TrendView::kLongestMs * 4;
    const struct {
        const char* name;
        Step step;
        int times;
        std::int64_t spanMs;
        std::optional<std::int64_t> toMs;  // none: anywhere in the history
    } cases[] = {
        {"zoomed out far: the whole history", zoom(false), 80, 3'600'000, 4'600'000},
        {"zoomed in far: one sample period", zoom(true), 80, 1000, std::nullopt},
        {"panned back far: the oldest", pan(-1), 1000, 300'000, 1'300'000},
        {"panned on far: the latest", pan(3), 1000, 300'000, 4'600'000},
        {"a stretch beyond any number: the whole history", show(-kFar, kFar), 1, 3'600'000,
         4'600'000},
        {"an inverted stretch: one period about its middle", show(2'000'000, 1'000'000), 1, 1000,
         1'500'500},
    };
    for (const auto& c : cases) {
        TrendView view;
        for (int n = 0; n < c.times; ++n) {
            c.step(view);
        }
        const TimeSpan shown = view.Shown(history, 0);
        EXPECT_EQ(shown.LengthMs(), c.spanMs) << c.name;
        EXPECT_EQ(shown.toMs, c.toMs.value_or(shown.toMs)) << c.name;
        EXPECT_TRUE(shown.fromMs >= 1'000'000 && shown.toMs <= 4'600'000) << c.name;
        EXPECT_FALSE(view.Following()) << c.name;
    }
    // After the 24 h button, a shorter history still zooms out to 24 h.
    TrendView day(24 * 3600 * 1000);
    day.Zoom(false, history);
    EXPECT_EQ(day.SpanMs(), 24 * 3600 * 1000);
    EXPECT_EQ(TrendView::MsOfSeconds(1e300), TrendView::kLongestMs * 1000);
}

}  // namespace
}  // namespace volnar
