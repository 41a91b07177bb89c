// A fresh MainWindow for each test, made and ended as the program does, in
// this process; and small readers of what the window shows.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/MainWindow.h"

// Handles the messages that are waiting, without blocking; returns true once
// WM_QUIT has been taken.
bool PumpMessages();

std::string WindowText(HWND window);
HWND Control(int id);
std::string LogText();

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override;
    // Closes MainWindow as the user would, takes WM_QUIT off the queue and
    // unregisters the class, so the next test can register it again.
    void TearDown() override;
};
