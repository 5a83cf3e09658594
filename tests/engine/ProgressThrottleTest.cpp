#include "engine/ProgressThrottle.h"

#include <gtest/gtest.h>
#include <string>

namespace quillet {
namespace {

TEST(ProgressThrottle, ReadsTheClockEveryNthCallAndRedrawsOncePerInterval) {
    qint64 now = 0;
    int reads = 0;
    ProgressThrottle throttle(100, 4, [&] {
        ++reads;
        return now;
    });
    // "+" where a redraw is due; four calls a clock read.
    auto ask = [&](int calls) {
        std::string answers;
        for (int i = 0; i < calls; ++i) answers += throttle.due() ? '+' : '.';
        return answers;
    };

    now = 1000;
    EXPECT_EQ(ask(8), "...+...+");  // the interval counts from the start until a redraw
    EXPECT_EQ(reads, 2);
    throttle.drawn();
    now = 1099;
    EXPECT_EQ(ask(4), "....");  // too soon after the redraw
    now = 1100;
    EXPECT_EQ(ask(4), "...+");
    throttle.drawn();

    const int before = reads;
    throttle.force();
    EXPECT_EQ(ask(5), "+....");  // forced without a look at the clock, then counted afresh
    EXPECT_EQ(reads, before + 1);
}

}  // namespace
}  // namespace quillet
