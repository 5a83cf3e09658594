#include "mainwindow/ProgressDisplay.h"

#include "common/Utilities.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

namespace quillet {
namespace {

class ProgressDisplayTest : public ::testing::Test {
  protected:
    ProgressDisplay make(int clockEvery = 1) {
        return ProgressDisplay(
            countBox, pBox, nullptr,
            [this] {
                ++clockReads;
                return now;
            },
            clockEvery);
    }

    QLabel countBox;
    QLabel pBox;
    qint64 now = 1000;
    int clockReads = 0;
};

TEST_F(ProgressDisplayTest, RepaintsAtMostOncePerInterval) {
    ProgressDisplay display = make();
    display.begin();
    display.showAdded(0);
    EXPECT_TRUE(display.processEvents());  // the first chance is always taken
    EXPECT_EQ(pBox.text(), QStringLiteral("0"));

    display.showRemaining(99);
    display.showAdded(1);
    now += ProgressDisplay::kRepaintInterval - 1;
    EXPECT_TRUE(display.processEvents());
    EXPECT_EQ(countBox.text(), QString());  // too soon
    EXPECT_EQ(pBox.text(), QStringLiteral("0"));
    EXPECT_EQ(display.repaints(), 1);

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

TEST_F(ProgressDisplayTest, ReadsTheClockOnlyEveryFewReports) {
    ProgressDisplay display = make(16);
    display.begin();
    display.processEvents();
    const int afterFirst = clockReads;
    for (int i = 0; i < 160; ++i) display.processEvents();
    EXPECT_EQ(clockReads - afterFirst, 10);
}

TEST_F(ProgressDisplayTest, ClearedCountShowsEmpty) {
    ProgressDisplay display = make();
    pBox.setText(QStringLiteral("12"));
    display.begin();
    display.clearAdded();
    display.showRemaining(10);
    display.processEvents();
    EXPECT_EQ(pBox.text(), QString());
    EXPECT_EQ(countBox.text(), QStringLiteral("10"));
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

TEST_F(ProgressDisplayTest, NoticeShowsTheCurrentValuesFirst) {
    ProgressDisplay display = make();
    QStringList seen;
    SetMessageSink([&](const QString& text) { seen << text + " @" + countBox.text(); });
    display.begin();
    display.processEvents();
    now += 1;
    display.showRemaining(3);
    display.notice(QStringLiteral("Last item on the page is an opening <"));
    SetMessageSink({});
    EXPECT_EQ(seen, QStringList{"Last item on the page is an opening < @3"});
}

}  // namespace
}  // namespace quillet
