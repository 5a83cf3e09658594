#include "mainwindow/ProgressDisplay.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QTimer>

namespace quillet {
namespace {

class ProgressDisplayTest : public ::testing::Test {
  protected:
    ProgressDisplay make() {
        return ProgressDisplay(
            countBox, pBox, nullptr, [this] { return now; }, 1);
    }

    QLabel countBox;
    QLabel pBox;
    qint64 now = 1000;
};

TEST_F(ProgressDisplayTest, RepaintsAtMostOncePerInterval) {
    ProgressDisplay display = make();
    pBox.setText(QStringLiteral("12"));
    display.begin();
    display.clearAdded();
    EXPECT_TRUE(display.processEvents());  // the first chance is always taken
    EXPECT_EQ(pBox.text(), QString());

    display.showRemaining(99);
    display.showAdded(1);
    now += ProgressDisplay::kRepaintInterval - 1;
    EXPECT_TRUE(display.processEvents());
    EXPECT_EQ(countBox.text(), QString());  // too soon
    EXPECT_EQ(pBox.text(), QString());

    now += 1;
    display.showRemaining(98);
    EXPECT_TRUE(display.processEvents());
    EXPECT_EQ(countBox.text(), QStringLiteral("98"));
    EXPECT_EQ(pBox.text(), QStringLiteral("1"));
    EXPECT_EQ(display.repaints(), 2);

    // The end of a run shows the last values whatever the time.
    display.showRemaining(5);
    display.showAdded(7);
    display.finish();
    EXPECT_EQ(countBox.text(), QStringLiteral("5"));
    EXPECT_EQ(pBox.text(), QStringLiteral("7"));
}

TEST_F(ProgressDisplayTest, StopRequestEndsTheRun) {
    ProgressDisplay display = make();
    display.begin();
    QTimer::singleShot(0, [&] { display.requestStop(); });
    EXPECT_FALSE(display.processEvents());  // asked while the events were handled
    EXPECT_FALSE(display.processEvents());
    display.begin();  // a new run starts afresh
    EXPECT_TRUE(display.processEvents());
}

}  // namespace
}  // namespace quillet
