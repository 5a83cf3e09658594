#include "windows/ScreenHandler.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QWidget>
#include <memory>

namespace quillet {
namespace {

// The main window's design in pixels (twips / 15): client 652 x 448.
class ScreenHandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(652, 448);
        toolbar = new QWidget(window.get());
        toolbar->setGeometry(0, 0, 652, 28);
        workBox = new QWidget(window.get());
        workBox->setGeometry(10, 60, 633, 366);
        added = new QLabel(window.get());
        added->setGeometry(396, 36, 69, 13);
        remaining = new QLabel(window.get());
        remaining->setGeometry(132, 36, 161, 13);
    }

    std::unique_ptr<QWidget> window;
    QWidget* toolbar = nullptr;
    QWidget* workBox = nullptr;
    QLabel* added = nullptr;
    QLabel* remaining = nullptr;
    ScreenHandler handler;
};

TEST_F(ScreenHandlerTest, RecordsRatiosOfTheDesignLayout) {
    handler.InitResizeArray(*window);
    EXPECT_EQ(handler.count(), 4);

    const auto bar = handler.ratioOf(toolbar);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->left, 0.0f);
    EXPECT_EQ(bar->top, 0.0f);
    EXPECT_EQ(bar->width, 1.0f);
    EXPECT_EQ(bar->height, 0.0625f);

    const auto box = handler.ratioOf(workBox);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->left, 150.0f / 9780.0f);
    EXPECT_EQ(box->top, 900.0f / 6720.0f);
    EXPECT_EQ(box->width, 9495.0f / 9780.0f);
    EXPECT_EQ(box->height, 5490.0f / 6720.0f);

    // Two labels of one kind are two entries with records of their own.
    ASSERT_TRUE(handler.ratioOf(added));
    ASSERT_TRUE(handler.ratioOf(remaining));
    EXPECT_NE(handler.ratioOf(added)->left, handler.ratioOf(remaining)->left);
}

TEST_F(ScreenHandlerTest, DoubleSizeDoublesEveryPlace) {
    handler.InitResizeArray(*window);
    window->resize(1304, 896);
    handler.ResizeControls(*window);
    EXPECT_EQ(workBox->geometry(), QRect(20, 120, 1266, 732));
    EXPECT_EQ(toolbar->geometry(), QRect(0, 0, 1304, 56));
    EXPECT_EQ(remaining->geometry(), QRect(264, 72, 322, 26));
}

TEST_F(ScreenHandlerTest, WidthOnlyChangesLeftAndWidthOnly) {
    handler.InitResizeArray(*window);
    const QRect before = workBox->geometry();
    window->resize(717, 448);
    handler.ResizeControls(*window);
    EXPECT_EQ(workBox->y(), before.y());
    EXPECT_EQ(workBox->height(), before.height());
    EXPECT_EQ(workBox->x(), 11);       // 10.997
    EXPECT_EQ(workBox->width(), 696);  // 696.1

    window->resize(652, 224);
    handler.ResizeControls(*window);
    EXPECT_EQ(workBox->x(), before.x());
    EXPECT_EQ(workBox->width(), before.width());
    EXPECT_EQ(workBox->y(), 30);
    EXPECT_EQ(workBox->height(), 183);
}

TEST_F(ScreenHandlerTest, ZeroSizeAndBackRestoresTheDesign) {
    handler.InitResizeArray(*window);
    const QRect design = workBox->geometry();
    const QRect label = remaining->geometry();

    window->resize(0, 0);
    handler.ResizeControls(*window);
    EXPECT_EQ(workBox->geometry(), QRect(0, 0, 0, 0));
    EXPECT_EQ(remaining->geometry(), QRect(0, 0, 0, 0));

    // Shrinking below the design has no lower limit either.
    window->resize(200, 150);
    handler.ResizeControls(*window);
    EXPECT_EQ(workBox->geometry(), QRect(3, 20, 194, 123));

    window->resize(652, 448);
    handler.ResizeControls(*window);
    EXPECT_EQ(workBox->geometry(), design);
    EXPECT_EQ(remaining->geometry(), label);
}

TEST_F(ScreenHandlerTest, SameSizeGivesSamePlacementWhateverCameBetween) {
    handler.InitResizeArray(*window);
    window->resize(1001, 777);
    handler.ResizeControls(*window);
    const QRect first = workBox->geometry();
    for (const QSize size : {QSize(31, 17), QSize(4000, 3000), QSize(1, 1), QSize(999, 776)}) {
        window->resize(size);
        handler.ResizeControls(*window);
    }
    window->resize(1001, 777);
    handler.ResizeControls(*window);
    EXPECT_EQ(workBox->geometry(), first);
}

TEST_F(ScreenHandlerTest, LeavesAloneWhatHasNoPlaceOrWasNotRecorded) {
    auto gone = std::make_unique<QWidget>(window.get());
    auto* action = new QAction(window.get());  // a child without place or size
    auto* dialog = new QDialog(window.get());  // a window of its own
    dialog->setGeometry(50, 50, 200, 100);
    handler.InitResizeArray(*window);
    EXPECT_EQ(handler.count(), 5);
    EXPECT_FALSE(handler.ratioOf(dialog));
    (void)action;

    auto* later = new QWidget(window.get());
    later->setGeometry(5, 6, 7, 8);
    gone.reset();  // a recorded control that no longer exists

    window->resize(1304, 896);
    handler.ResizeControls(*window);
    EXPECT_EQ(later->geometry(), QRect(5, 6, 7, 8));
    EXPECT_EQ(dialog->geometry(), QRect(50, 50, 200, 100));
    EXPECT_EQ(workBox->geometry(), QRect(20, 120, 1266, 732));
}

TEST_F(ScreenHandlerTest, ZeroSizeAtRecordingGivesZeroRatios) {
    window->resize(0, 0);
    handler.InitResizeArray(*window);
    const auto box = handler.ratioOf(workBox);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->width, 0.0f);
    EXPECT_EQ(box->left, 0.0f);

    // Recording again replaces the table.
    window->resize(652, 448);
    handler.InitResizeArray(*window);
    EXPECT_EQ(handler.count(), 4);
    EXPECT_EQ(handler.ratioOf(workBox)->width, 9495.0f / 9780.0f);
}

}  // namespace
}  // namespace quillet
