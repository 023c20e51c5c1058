// Runs the start dialog from the test program's own resources (the same .rc
// files as the module's), with the resource handle as the module sets it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "DialogDriver.h"
#include "serial/ModuleState.h"
#include "ui/GPSNaviStartDlg.h"
#include "ui/resource.h"

#ifndef _WIN32
#include <win32_control.h>
#include <win32ctl/module.h>
#include <win32ctl/serial.h>

extern "C" const unsigned char nt_resources_begin[] __attribute__((visibility("hidden")));
extern "C" const unsigned char nt_resources_end[] __attribute__((visibility("hidden")));
#endif

// A port that exists on neither platform: unmapped under Wine, mapped to a
// missing device on Linux.
constexpr int kMissingPort = 3;  // COM4

class StartDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        HMODULE self = GetModuleHandleA(nullptr);
#ifndef _WIN32
        W32RegisterModuleResources(self, nt_resources_begin,
                                   static_cast<size_t>(nt_resources_end - nt_resources_begin));
        W32ResetComPorts();
        W32MapComPort("COM4", "/nonexistent/ttyNT4");
#endif
        g_hInstance = self;
        m_previousResource = AfxGetResourceHandle();
    }

    void TearDown() override {
#ifndef _WIN32
        W32ResetComPorts();
#endif
        g_hInstance = nullptr;
        AfxSetResourceHandle(m_previousResource);
    }

    // The caller's side of a start attempt: stored settings into the members.
    static void Store(CGPSNaviStartDlg& dlg, int port, int device, BOOL centering, BOOL view3d, BOOL record,
                      int sampling) {
        dlg.m_nCommPort = port;
        dlg.m_nDevice = device;
        dlg.m_bCentering = centering;
        dlg.m_b3DView = view3d;
        dlg.m_bRecord = record;
        dlg.m_strSampling.Format("%d", sampling);
    }

    // Under Wine a COM name opens when the machine has the matching tty.
    static bool MissingPortOpens() {
        HANDLE h = CreateFileA("COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        return true;
    }

    HINSTANCE m_previousResource = nullptr;
};

#define SKIP_IF_MISSING_PORT_OPENS() \
    if (MissingPortOpens()) GTEST_SKIP() << "COM4 opens on this machine; the test needs a port that does not"

// What a script saw of the dialog's controls.
struct ControlsSeen {
    bool ports[4] = {};
    bool nmea = false;
    bool sony = false;
    bool centering = false;
    bool view3d = false;
    bool record = false;
    std::string sampling;
    long selection = -2;

    static ControlsSeen Of(HWND dialog) {
        ControlsSeen seen;
        for (int i = 0; i < 4; ++i) seen.ports[i] = DialogDriver::Checked(dialog, IDC_COMM1 + i);
        seen.nmea = DialogDriver::Checked(dialog, IDC_DEVICE_NMEA);
        seen.sony = DialogDriver::Checked(dialog, IDC_DEVICE_SONY);
        seen.centering = DialogDriver::Checked(dialog, IDC_CENTERING);
        seen.view3d = DialogDriver::Checked(dialog, IDC_VIEW3D);
        seen.record = DialogDriver::Checked(dialog, IDC_RECORD);
        seen.sampling = DialogDriver::Text(dialog, IDC_SAMPLING);
        seen.selection = static_cast<long>(SendDlgItemMessageA(dialog, IDC_SAMPLING, CB_GETCURSEL, 0, 0));
        return seen;
    }
};
