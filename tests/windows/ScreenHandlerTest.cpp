// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/ScreenHandler.h"

#include <gtest/gtest.h>
#include <QDialog>
#include <QWidget>
#include <memory>

namespace quillet {
namespace {

TEST(ScreenHandler, PlacesFollowTheWindowInProportionWithoutDrift) {
    // The main window's design in pixels: client 652 x 448, toolbar and document view.
    QWidget window;
    window.resize(652, 448);
    auto* toolbar = new QWidget(&window);
    auto* workBox = new QWidget(&window);
    auto gone = std::make_unique<QWidget>(&window);
    auto* dialog = new QDialog(&window);  // a window of its own
    toolbar->setGeometry(0, 0, 652, 28);
    workBox->setGeometry(10, 60, 633, 366);
    dialog->setGeometry(50, 50, 200, 100);
    ScreenHandler handler;
    handler.InitResizeArray(window);
    auto* later = new QWidget(&window);  // not recorded
    later->setGeometry(5, 6, 7, 8);
    gone.reset();  // a recorded control that no longer exists

    const struct {
        const char* name;
        QSize size;
        QRect bar, box;
    } steps[] = {
        {"double size", {1304, 896}, {0, 0, 1304, 56}, {20, 120, 1266, 732}},
        {"width only", {717, 448}, {0, 0, 717, 28}, {11, 60, 696, 366}},
        {"nothing left", {0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"no lower limit", {200, 150}, {0, 0, 200, 9}, {3, 20, 194, 123}},
        // Back at the design size, nothing of the sizes between remains.
        {"back at the design size", {652, 448}, {0, 0, 652, 28}, {10, 60, 633, 366}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        window.resize(step.size);
        handler.ResizeControls(window);
        EXPECT_EQ(toolbar->geometry(), step.bar);
        EXPECT_EQ(workBox->geometry(), step.box);
    }
    EXPECT_EQ(later->geometry(), QRect(5, 6, 7, 8));
    EXPECT_EQ(dialog->geometry(), QRect(50, 50, 200, 100));
}

}  // namespace
}  // namespace quillet
