// Runs the main window on the headless backend, in a fresh folder of its own
// and on the fake adapter tables, for tests of the whole window.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/iphelp_fake.h"
#include "platform/ui_headless.h"
#include "variant_constants.h"
#include "window/monitor_dlg.h"

inline constexpr bool isKelvane = variant::product == variant::Product::Kelvane;

class MonitorTest : public ::testing::Test {
protected:
    using Window = ui::headless::Window;
    using Script = std::function<void(Window&, CMonitorDlg&)>;

    void SetUp() override;
    void TearDown() override;

    // Runs a main window whose user acts as the script says; the window closes
    // when the script returns. The scenario fails unless the script ran, every
    // dialog script and file dialog answer it queued was used, and the window
    // ended as the user closes it.
    void runMonitor(const Script& script);

    // The program's folder: files the program keeps beside itself go here.
    std::string folder;
    std::string pathOf(const std::string& name) const;
    void writeFile(const std::string& name, const std::string& bytes) const;
    std::string readFile(const std::string& name) const;
    bool fileExists(const std::string& name) const;
};
