// What the link tests share: a recording host, a null-modem cable at COM2,
// and the menu command played through the start dialog.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "DialogDriver.h"
#include "LinkStart.h"
#include "OwnResources.h"
#include "PortPair.h"
#include "RecordingHost.h"
#include "serial/GPSComm.h"
#include "serial/GpsLink.h"
#include "serial/ModuleState.h"
#include "shell/Exports.h"
#include "ui/resource.h"

namespace link_test {

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.ok());
        UseOwnResourcesAsModule();
        g_nPluginId = 77;
    }
    void TearDown() override {
        StopGpsLink();
        EXPECT_EQ(nullptr, g_pGPSComm);
    }

    // Chooses the menu command; the script plays the dialog (by default it
    // presses Start with what the dialog shows).
    void ChooseMenu(DialogDriver::Script script = [](HWND dialog) { DialogDriver::Click(dialog, IDOK); }) {
        DialogDriver driver(std::move(script));
        MenuCallback(100, 0, 0);
        m_messages = driver.MessageBoxTexts();
        m_messageStyles = driver.MessageBoxStyles();
        m_dialogShown = driver.ScriptRan();
    }

    std::vector<std::string> ProfileWrites() {
        std::vector<std::string> writes;
        for (const std::string& call : m_host.Calls())
            if (call.rfind("WriteProfileInt ", 0) == 0) writes.push_back(call.substr(16));
        return writes;
    }

    RecordingHost m_host;
    PortPair m_pty{"COM2"};
    std::vector<std::string> m_messages;
    std::vector<UINT> m_messageStyles;
    bool m_dialogShown = false;
};

}  // namespace link_test
