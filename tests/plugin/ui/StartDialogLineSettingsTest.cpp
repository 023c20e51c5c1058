// The line settings that the start dialog builds, against pseudo-terminals
// that play the ports (Linux): defaults from the port's present state, the
// system's port dialog, and the two states of the configured settings.
#include <cstring>
#include <vector>

#include "PtyPair.h"
#include "StartDialogFixture.h"

namespace {

const char kCannotOpen[] = "Cannot Open COM port";

// The line settings a port would get: its present state with the mode.
DCB ExpectedDcb(const char* port, const char* mode) {
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    HANDLE h = CreateFileA(port, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    if (h == INVALID_HANDLE_VALUE) return dcb;
    EXPECT_TRUE(GetCommState(h, &dcb));
    EXPECT_TRUE(BuildCommDCBA(mode, &dcb));
    CloseHandle(h);
    return dcb;
}

unsigned long Opens(const char* port) {
    W32SerialCounters counters{};
    W32GetSerialCounters(port, &counters);
    return counters.opens;
}

void ExpectFraming(const DCB& dcb, DWORD baud) {
    EXPECT_EQ(baud, dcb.BaudRate);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(NOPARITY, dcb.Parity);
    EXPECT_EQ(ONESTOPBIT, dcb.StopBits);
    EXPECT_EQ(0u, dcb.fOutX);
    EXPECT_EQ(0u, dcb.fInX);
    EXPECT_EQ(0u, dcb.fOutxCtsFlow);
}

// The system's port dialog: what it was shown, and what the user does.
struct PortDialogUser {
    int answer = W32_COMMCONFIG_CONFIRM;
    DWORD chosenBaud = CBR_19200;
    std::vector<COMMCONFIG> shown;
    std::vector<std::string> names;
    std::vector<HWND> owners;

    static int Respond(void* context, const char* name, HWND owner, COMMCONFIG* config) {
        auto* self = static_cast<PortDialogUser*>(context);
        self->shown.push_back(*config);
        self->names.push_back(name);
        self->owners.push_back(owner);
        config->dcb.BaudRate = self->chosenBaud;
        config->dcb.Parity = EVENPARITY;
        return self->answer;
    }
};

class StartDialogLineTest : public StartDialogTest {
protected:
    void SetUp() override {
        StartDialogTest::SetUp();
        m_com1 = std::make_unique<PtyPair>("COM1");
        m_com2 = std::make_unique<PtyPair>("COM2");
        ASSERT_TRUE(m_com1->ok() && m_com2->ok());
        W32SetCommConfigResponder(&PortDialogUser::Respond, &m_portDialog);
    }

    void TearDown() override {
        W32SetCommConfigResponder(nullptr, nullptr);
        W32ClearSerialFaults(nullptr);
        EXPECT_EQ(0u, W32CountOpenComPorts());  // the dialog never keeps a port
        m_com1.reset();
        m_com2.reset();
        StartDialogTest::TearDown();
    }

    static void FailOpens(const char* port) { W32SetSerialFault(port, W32_SERIAL_FAULT_OPEN, 0, -1); }

    std::unique_ptr<PtyPair> m_com1, m_com2;
    PortDialogUser m_portDialog;
};

TEST_F(StartDialogLineTest, StartBuildsTheDefaultsFromThePortsPresentState) {
    for (int device : {0, 1}) {
        SCOPED_TRACE(device);
        const char* mode = device == 0 ? "48,N,8,1" : "96,N,8,1";
        DCB expected = ExpectedDcb("COM2", mode);
        unsigned long opensBefore = Opens("COM2");
        CGPSNaviStartDlg dlg;
        Store(dlg, 1, device, FALSE, FALSE, FALSE, 10);
        DialogDriver driver([&](HWND dialog) {
            DialogDriver::Click(dialog, IDC_CENTERING);
            DialogDriver::Click(dialog, IDC_RECORD);
            DialogDriver::SetText(dialog, IDC_SAMPLING, "7");
            DialogDriver::Click(dialog, IDOK);
        });
        ASSERT_EQ(IDOK, dlg.DoModal());
        EXPECT_EQ(1u, Opens("COM2") - opensBefore);
        EXPECT_EQ(0, memcmp(&expected, &dlg.m_dcb, sizeof(DCB)));
        ExpectFraming(dlg.m_dcb, device == 0 ? CBR_4800 : CBR_9600);
        EXPECT_EQ(1, dlg.m_nCommPort);
        EXPECT_EQ(device, dlg.m_nDevice);
        EXPECT_EQ(1, dlg.m_bCentering);
        EXPECT_EQ(0, dlg.m_b3DView);
        EXPECT_EQ(1, dlg.m_bRecord);
        EXPECT_STREQ("7", dlg.m_strSampling);
        EXPECT_TRUE(m_portDialog.shown.empty());
    }
}

TEST_F(StartDialogLineTest, AnotherPortSucceedsAfterOneThatCannotBeOpened) {
    FailOpens("COM1");
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, 1);
    bool openAfterFirstStart = false;
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDOK);
        openAfterFirstStart = DialogDriver::IsOpen(dialog);
        DialogDriver::Click(dialog, IDC_COMM2);
        DialogDriver::Click(dialog, IDOK);
    });
    ASSERT_EQ(IDOK, dlg.DoModal());
    EXPECT_TRUE(openAfterFirstStart);
    EXPECT_EQ((std::vector<std::string>{kCannotOpen}), driver.MessageBoxTexts());
    EXPECT_EQ((std::vector<UINT>{MB_ICONEXCLAMATION | MB_OK}), driver.MessageBoxStyles());
    EXPECT_EQ(1, dlg.m_nCommPort);
    ExpectFraming(dlg.m_dcb, CBR_4800);
}

TEST_F(StartDialogLineTest, PortDialogGetsTheReceiverDefaultsEveryTime) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, 1);
    HWND dialogWindow = nullptr;
    DialogDriver driver([&](HWND dialog) {
        dialogWindow = dialog;
        DialogDriver::Click(dialog, IDC_COMMSETTING);
        DialogDriver::Click(dialog, IDC_COMMSETTING);
        DialogDriver::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    ASSERT_EQ(2u, m_portDialog.shown.size());
    for (size_t i = 0; i < 2; ++i) {
        const COMMCONFIG& cc = m_portDialog.shown[i];
        EXPECT_EQ(52u, cc.dwSize);
        EXPECT_EQ(0x100, cc.wVersion);
        EXPECT_EQ(0, cc.wReserved);
        EXPECT_EQ(0u, cc.dwProviderSubType);
        EXPECT_EQ(0u, cc.dwProviderOffset);
        EXPECT_EQ(0u, cc.dwProviderSize);
        ExpectFraming(cc.dcb, CBR_4800);  // not the 19200 confirmed the first time
        EXPECT_EQ("COM1", m_portDialog.names[i]);
        EXPECT_EQ(dialogWindow, m_portDialog.owners[i]);
    }
    EXPECT_EQ(CBR_19200, dlg.m_dcb.BaudRate);
    EXPECT_EQ(1, dlg.m_bCommConfigured);
}

TEST_F(StartDialogLineTest, ConfiguredSettingsPassStartWithoutOpeningThePort) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, 1);
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDC_COMMSETTING);
        FailOpens("COM1");  // the port is gone by the time Start is pressed
        DialogDriver::Click(dialog, IDOK);
    });
    ASSERT_EQ(IDOK, dlg.DoModal());
    EXPECT_TRUE(driver.MessageBoxTexts().empty());
    EXPECT_EQ(CBR_19200, dlg.m_dcb.BaudRate);
    EXPECT_EQ(EVENPARITY, dlg.m_dcb.Parity);
}

class StartDialogPortDialogRefusedTest : public StartDialogLineTest, public ::testing::WithParamInterface<int> {};

TEST_P(StartDialogPortDialogRefusedTest, CountsAsConfiguredWithTheReceiverDefaults) {
    m_portDialog.answer = GetParam();
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 1, FALSE, FALSE, FALSE, 1);
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDC_COMMSETTING);
        FailOpens("COM1");
        DialogDriver::Click(dialog, IDOK);
    });
    ASSERT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(1u, m_portDialog.shown.size());
    EXPECT_TRUE(driver.MessageBoxTexts().empty());
    ExpectFraming(dlg.m_dcb, CBR_9600);
}

INSTANTIATE_TEST_SUITE_P(CancelOrFail, StartDialogPortDialogRefusedTest,
                         ::testing::Values(static_cast<int>(W32_COMMCONFIG_CANCEL),
                                           static_cast<int>(W32_COMMCONFIG_FAIL)));

TEST_F(StartDialogLineTest, PortRadioDiscardsConfiguredSettings) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, 1);
    unsigned long opensBefore = Opens("COM1");
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDC_COMMSETTING);
        DialogDriver::Click(dialog, IDC_COMM1);  // the radio already checked
        DialogDriver::Click(dialog, IDOK);
    });
    ASSERT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(2u, Opens("COM1") - opensBefore);  // the port dialog and Start
    ExpectFraming(dlg.m_dcb, CBR_4800);
    EXPECT_EQ(0, dlg.m_bCommConfigured);
}

// Each receiver radio against a stored type of the other one.
struct RadioCase {
    int radio, storedDevice, device;
    DWORD baud;
};
const RadioCase kRadioCases[] = {{IDC_DEVICE_SONY, 0, 1, CBR_9600}, {IDC_DEVICE_NMEA, 1, 0, CBR_4800}};

TEST_F(StartDialogLineTest, ReceiverRadioReplacesConfiguredSettingsAndKeepsTheState) {
    for (const RadioCase& row : kRadioCases) {
        SCOPED_TRACE(row.radio);
        W32ClearSerialFaults(nullptr);
        CGPSNaviStartDlg dlg;
        Store(dlg, 0, row.storedDevice, FALSE, FALSE, FALSE, 1);
        DialogDriver driver([&](HWND dialog) {
            DialogDriver::Click(dialog, IDC_COMMSETTING);
            DialogDriver::Click(dialog, row.radio);
            FailOpens("COM1");
            DialogDriver::Click(dialog, IDOK);
        });
        ASSERT_EQ(IDOK, dlg.DoModal());
        EXPECT_TRUE(driver.MessageBoxTexts().empty());
        EXPECT_EQ(row.device, dlg.m_nDevice);
        ExpectFraming(dlg.m_dcb, row.baud);
        EXPECT_EQ(1, dlg.m_bCommConfigured);
    }
}

TEST_F(StartDialogLineTest, ReceiverRadioOpensThePortOfTheLastExchange) {
    FailOpens("COM2");
    for (const RadioCase& row : kRadioCases) {
        SCOPED_TRACE(row.radio);
        CGPSNaviStartDlg dlg;
        Store(dlg, 0, row.storedDevice, FALSE, FALSE, FALSE, 1);
        unsigned long com1Before = Opens("COM1");
        std::vector<std::string> boxesAfterRadio;
        DialogDriver driver([&](HWND dialog) {
            DialogDriver::Click(dialog, IDC_COMM2);
            DialogDriver::Click(dialog, row.radio);  // still the caller's COM1
            boxesAfterRadio = driver.MessageBoxTexts();
            DialogDriver::Click(dialog, IDOK);  // the exchange picks up COM2
            DialogDriver::Click(dialog, IDCANCEL);
        });
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        EXPECT_TRUE(boxesAfterRadio.empty());
        EXPECT_EQ(1u, Opens("COM1") - com1Before);
        EXPECT_EQ((std::vector<std::string>{kCannotOpen}), driver.MessageBoxTexts());
        ExpectFraming(dlg.m_dcb, row.baud);
    }
}

// Every name of the port table opens its own port: the radios reach COM1 to
// COM4, and a stored index 4 reaches COM5 through a receiver radio.
TEST_F(StartDialogLineTest, EachPortNameOpensItsPort) {
    PtyPair com3("COM3"), com4("COM4"), com5("COM5");
    ASSERT_TRUE(com3.ok() && com4.ok() && com5.ok());
    for (int port = 0; port < 5; ++port) {
        const std::string name = "COM" + std::to_string(port + 1);
        SCOPED_TRACE(name);
        unsigned long before = Opens(name.c_str());
        CGPSNaviStartDlg dlg;
        Store(dlg, port, 0, FALSE, FALSE, FALSE, 1);
        DialogDriver driver([](HWND dialog) {
            DialogDriver::Click(dialog, IDC_DEVICE_SONY);
            DialogDriver::Click(dialog, IDCANCEL);
        });
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        EXPECT_EQ(1u, Opens(name.c_str()) - before);
        EXPECT_TRUE(driver.MessageBoxTexts().empty());
        ExpectFraming(dlg.m_dcb, CBR_9600);
    }
}

TEST_F(StartDialogLineTest, NoReceiverChosenStartsWith9600) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 1, 5, FALSE, FALSE, FALSE, 1);
    DialogDriver driver([&](HWND dialog) { DialogDriver::Click(dialog, IDOK); });
    ASSERT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(-1, dlg.m_nDevice);
    ExpectFraming(dlg.m_dcb, CBR_9600);
}

TEST_F(StartDialogLineTest, PortDialogOnAPortThatCannotBeOpenedChangesNothing) {
    W32SetSerialFault("COM1", W32_SERIAL_FAULT_OPEN, 0, 1);
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, 1);
    DialogDriver driver([&](HWND dialog) {
        DialogDriver::Click(dialog, IDC_COMMSETTING);
        DialogDriver::Click(dialog, IDOK);
    });
    ASSERT_EQ(IDOK, dlg.DoModal());
    EXPECT_TRUE(m_portDialog.shown.empty());
    EXPECT_EQ((std::vector<std::string>{kCannotOpen}), driver.MessageBoxTexts());
    EXPECT_EQ(0, dlg.m_bCommConfigured);
    ExpectFraming(dlg.m_dcb, CBR_4800);  // rebuilt on Start, not the port dialog's
}

TEST_F(StartDialogLineTest, EnterPressesStartAndFocusStartsOnIt) {
    CGPSNaviStartDlg dlg;
    Store(dlg, 0, 0, FALSE, FALSE, FALSE, 1);
    HWND focus = nullptr, start = nullptr;
    DialogDriver driver([&](HWND dialog) {
        focus = GetFocus();
        start = GetDlgItem(dialog, IDOK);
        DialogDriver::PressKey(dialog, VK_RETURN);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(start, focus);
}

}  // namespace
