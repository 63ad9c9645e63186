// A main window of its own for each test, in a program folder of its own,
// with the Outlook stand-in serving "Outlook.Application".
#pragma once

#include "TestSupport.h"

#include "core/Settings.h"
#include "mainwindow/frmMain.h"
#include "standin/client/StandInClient.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace test {

class MainWindowFixture : public testing::Test {
protected:
    void TearDown() override;

    void WriteSettings(const std::string& content) { WriteTextFile(folder.SettingsFile(), content); }
    // Starts the stand-in with "option linger" and the given scenario lines.
    void StartStandIn(const std::string& scenario = {});
    // Reads the settings as start-up does, loads a main window, and lets it
    // finish what follows the start-up delay.
    void LoadWindow();
    // The file name and tip of the main tray icon, empty when none is shown.
    std::wstring TrayFile() const;
    std::wstring TrayTip() const;

    // While it lives, Outlook cannot be started (the stand-in refuses).
    class RefuseOutlook {
    public:
        RefuseOutlook();
        ~RefuseOutlook();

    private:
        std::wstring m_file;
    };

    // While it lives, Outlook is not installed: the stand-in is unregistered.
    class OutlookNotInstalled {
    public:
        OutlookNotInstalled();
        ~OutlookNotInstalled();
    };

    ProgramFolder folder;
    standin::StandIn standin;
    std::shared_ptr<frmMain> window;
};

}  // namespace test
