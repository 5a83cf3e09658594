#include "windows/ScreenHandler.h"

#include <gtest/gtest.h>
#include <QDialog>
#include <QWidget>
#include <memory>

namespace quillet {
namespace {

// The main window's design in pixels: client 652 x 448, toolbar and document view.
class ScreenHandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window->resize(652, 448);
        toolbar->setGeometry(0, 0, 652, 28);
        workBox->setGeometry(10, 60, 633, 366);
        handler.InitResizeArray(*window);
    }

    void resize(QSize size) {
        window->resize(size);
        handler.ResizeControls(*window);
    }

    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QWidget* toolbar = new QWidget(window.get());
    QWidget* workBox = new QWidget(window.get());
    ScreenHandler handler;
};

TEST_F(ScreenHandlerTest, PlacesFollowTheWindowInProportionToTheDesign) {
    const struct {
        QSize size;
        QRect bar;
        QRect box;
    } steps[] = {
        {{1304, 896}, {0, 0, 1304, 56}, {20, 120, 1266, 732}},  // double size
        {{717, 448}, {0, 0, 717, 28}, {11, 60, 696, 366}},      // width only
        {{652, 224}, {0, 0, 652, 14}, {10, 30, 633, 183}},      // height only
        {{0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},                   // nothing left
        {{200, 150}, {0, 0, 200, 9}, {3, 20, 194, 123}},        // no lower limit
        {{4000, 3000}, {0, 0, 4000, 188}, {61, 402, 3883, 2451}},
        // Each placement comes from the recorded ratios: back at the design size, nothing
        // of the sizes between remains.
        {{652, 448}, {0, 0, 652, 28}, {10, 60, 633, 366}},
    };
    for (const auto& step : steps) {
        resize(step.size);
        EXPECT_EQ(toolbar->geometry(), step.bar) << step.size.width() << "x" << step.size.height();
        EXPECT_EQ(workBox->geometry(), step.box) << step.size.width() << "x" << step.size.height();
    }
}

TEST_F(ScreenHandlerTest, LeavesAloneWhatIsNoControlOrWasNotRecorded) {
    auto gone = std::make_unique<QWidget>(window.get());
    auto* dialog = new QDialog(window.get());  // a window of its own
    dialog->setGeometry(50, 50, 200, 100);
    handler.InitResizeArray(*window);
    auto* later = new QWidget(window.get());
    later->setGeometry(5, 6, 7, 8);
    gone.reset();  // a recorded control that no longer exists

    resize({1304, 896});
    EXPECT_EQ(later->geometry(), QRect(5, 6, 7, 8));
    EXPECT_EQ(dialog->geometry(), QRect(50, 50, 200, 100));
    EXPECT_EQ(workBox->geometry(), QRect(20, 120, 1266, 732));
}

}  // namespace
}  // namespace quillet
