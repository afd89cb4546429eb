#pragma once

#include <QApplication>
#include <memory>

#include <gtest/gtest.h>

#include "window/fonts.h"

// One application for the whole test program, on the platform ctest names
// (offscreen), with the window's fonts mapped as at start-up.
class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "malvorn_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        malvorn::window::registerFontSubstitutions();
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

inline const auto* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);
