// The menu command from the start dialog to live records and the stop,
// end to end over a null-modem cable (a pseudo-terminal on Linux, two COM
// ports under Wine).
#ifndef _WIN32
#include <termios.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "LinkFixture.h"
#include "Timing.h"

namespace link_test {
namespace {

const char kGga[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const char kRmc[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
const char kVtg[] = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n";

#ifndef _WIN32  // the stand-in's call hooks
// Runs an action at the start of each hooked call on COM2, on the thread
// that makes the call, while it lives.
class CallHook {
public:
    CallHook(int call, std::function<void(HANDLE)> action) : m_call(call), m_action(std::move(action)) {
        W32SetSerialHook(
            "COM2", call, [](HANDLE port, void* self) { static_cast<CallHook*>(self)->m_action(port); }, this);
    }
    ~CallHook() { W32SetSerialHook("COM2", m_call, nullptr, nullptr); }

private:
    int m_call;
    std::function<void(HANDLE)> m_action;
};

bool Contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}
#endif

bool AllZeroBut(const tagGPSNAVIINFO& record, int interval) {
    tagGPSNAVIINFO expected;
    memset(&expected, 0, sizeof expected);
    expected.dwSize = 80;
    expected.nInterval = interval;
    return memcmp(&expected, &record, sizeof record) == 0;
}

TEST_F(LinkTest, EmptyProfileShowsTheDefaultsAndCancelChangesNothing) {
    bool port1 = true, port2 = false, nmea = false, sony = true, center = false, threeD = false, record = false;
    std::string interval;
    ChooseMenu([&](HWND dialog) {
        port1 = DialogDriver::Checked(dialog, IDC_COMM1);
        port2 = DialogDriver::Checked(dialog, IDC_COMM2);
        nmea = DialogDriver::Checked(dialog, IDC_DEVICE_NMEA);
        sony = DialogDriver::Checked(dialog, IDC_DEVICE_SONY);
        center = DialogDriver::Checked(dialog, IDC_CENTERING);
        threeD = DialogDriver::Checked(dialog, IDC_VIEW3D);
        record = DialogDriver::Checked(dialog, IDC_RECORD);
        interval = DialogDriver::Text(dialog, IDC_SAMPLING);
        DialogDriver::Click(dialog, IDCANCEL);
    });
    ASSERT_TRUE(m_dialogShown);
    EXPECT_FALSE(port1);
    EXPECT_TRUE(port2);
    EXPECT_TRUE(nmea);
    EXPECT_FALSE(sony);
    EXPECT_TRUE(center && threeD && record);
    EXPECT_EQ("5", interval);
    EXPECT_TRUE(ProfileWrites().empty());
    for (const std::string& call : m_host.Calls()) EXPECT_EQ(0u, call.find("GetProfileInt")) << call;
    EXPECT_EQ(nullptr, g_pGPSComm);
}

TEST_F(LinkTest, StartSavesTheSixKeysInOrderResetsTheRecordAndStartsNavigation) {
    memset(&g_GpsNaviInfo, 0x5A, sizeof g_GpsNaviInfo);  // as an earlier link may leave it
    ChooseMenu();
    ASSERT_NE(nullptr, g_pGPSComm);
    EXPECT_EQ(1, g_pGPSComm->IsRunning());
    EXPECT_STREQ("COM2", g_pGPSComm->m_szPort);

    std::vector<std::string> expected = {"GPSNavi CommPort=1", "GPSNavi Centering=1", "GPSNavi 3DView=1",
                                         "GPSNavi Record=1",   "GPSNavi Sampling=5",  "GPSNavi Protcol=0"};
    EXPECT_EQ(expected, ProfileWrites());
    EXPECT_EQ(77u, m_host.lastProfileId);

    std::vector<std::string> reads;
    for (const std::string& call : m_host.Calls())
        if (call.rfind("GetProfileInt ", 0) == 0) reads.push_back(call.substr(14));
    std::vector<std::string> expectedReads = {"GPSNavi CommPort", "GPSNavi Protcol",  "GPSNavi Centering",
                                              "GPSNavi 3DView",   "GPSNavi Record",   "GPSNavi Sampling",
                                              "GPSNavi FixSpeed", "GPSNavi AnyTalker"};
    EXPECT_EQ(expectedReads, reads);
    EXPECT_EQ(0, g_pGPSComm->m_bAnyTalker);

    ASSERT_GE(m_host.RecordCount(), 1u);
    EXPECT_TRUE(AllZeroBut(m_host.Records()[0], 5));
    ASSERT_EQ(1u, m_host.starts.size());
    EXPECT_EQ(1, m_host.starts[0].bCentering);
    EXPECT_EQ(1, m_host.starts[0].b3DView);
    EXPECT_EQ(1, m_host.starts[0].bRecord);
    EXPECT_EQ(1, m_host.starts[0].nMode);
    EXPECT_EQ(7u, m_host.initView);
    ASSERT_NE(nullptr, m_host.naviCallback);
    EXPECT_EQ(-1, m_host.naviCallback(0, 0, 0));

    // Init, the writes, the record, then the start: in that order.
    auto calls = m_host.Calls();
    auto at = [&](const std::string& name) {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].rfind(name, 0) == 0) return i;
        return calls.size();
    };
    EXPECT_LT(at("InitGpsNavi"), at("WriteProfileInt"));
    EXPECT_LT(at("WriteProfileInt GPSNavi Protcol"), at("SetGpsNaviInfo"));
    EXPECT_LT(at("SetGpsNaviInfo"), at("StartGpsNavi"));

    EXPECT_EQ(0, HookCallback(506, 0, 0));
    EXPECT_EQ(nullptr, g_pGPSComm);
    EXPECT_EQ(1, m_host.releases);
    EXPECT_EQ("ReleaseGpsNavi", m_host.Calls().back());
}

TEST_F(LinkTest, LineSettingsAreAppliedWithTheLineFeedAsEventCharacter) {
#ifndef _WIN32
    // The port comes with time-outs of its own: only the interval changes.
    CallHook setTimeouts(W32_SERIAL_CALL_SET_STATE, [](HANDLE port) {
        COMMTIMEOUTS timeouts = {0, 7, 11, 13, 17};
        SetCommTimeouts(port, &timeouts);
    });
#endif
    ChooseMenu();
    ASSERT_NE(nullptr, g_pGPSComm);
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(g_pGPSComm->m_hComm, &dcb));
    EXPECT_EQ(4800u, dcb.BaudRate);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(NOPARITY, dcb.Parity);
    EXPECT_EQ(ONESTOPBIT, dcb.StopBits);
    COMMTIMEOUTS timeouts;
    ASSERT_TRUE(GetCommTimeouts(g_pGPSComm->m_hComm, &timeouts));
    EXPECT_EQ(5u, timeouts.ReadIntervalTimeout);
#ifndef _WIN32
    EXPECT_EQ('\n', dcb.EvtChar);  // Wine's GetCommState does not give it back
    EXPECT_EQ(7u, timeouts.ReadTotalTimeoutMultiplier);
    EXPECT_EQ(11u, timeouts.ReadTotalTimeoutConstant);
    EXPECT_EQ(13u, timeouts.WriteTotalTimeoutMultiplier);
    EXPECT_EQ(17u, timeouts.WriteTotalTimeoutConstant);
    termios tio;
    ASSERT_EQ(0, tcgetattr(m_pty.deviceFd(), &tio));
    EXPECT_EQ(static_cast<speed_t>(B4800), cfgetospeed(&tio));
#endif
}

TEST_F(LinkTest, IntervalTextThatIsNoNumberGivesZero) {
    ChooseMenu([](HWND dialog) {
        DialogDriver::SetText(dialog, IDC_SAMPLING, "abc");
        DialogDriver::Click(dialog, IDOK);
    });
    ASSERT_NE(nullptr, g_pGPSComm);
    EXPECT_EQ(0, m_host.profile["GPSNavi Sampling"]);
    ASSERT_GE(m_host.RecordCount(), 1u);
    EXPECT_TRUE(AllZeroBut(m_host.Records()[0], 0));
}

TEST_F(LinkTest, SentencesReachTheHostWhileTheLinkRuns) {
    ChooseMenu();
    ASSERT_NE(nullptr, g_pGPSComm);
    ASSERT_TRUE(m_pty.Write(std::string(kGga) + kRmc + kVtg + "$"));
    ASSERT_TRUE(m_host.WaitForRecords(4));  // the start record and three lines
    tagGPSNAVIINFO last = m_host.LastRecord();
    EXPECT_DOUBLE_EQ(48.1173, last.dLatitude);
    EXPECT_DOUBLE_EQ(11.516666666666667, last.dLongitude);
    EXPECT_DOUBLE_EQ(545.4, last.dAltitude);
    EXPECT_DOUBLE_EQ(54.7, last.dCourse);
    EXPECT_DOUBLE_EQ(10.2, last.dSpeed);
    EXPECT_STREQ("123519", last.szTime);
    EXPECT_STREQ("940323", last.szDate);
    EXPECT_EQ(8, last.nSatellites);
    EXPECT_EQ(5, last.nInterval);
    for (const tagGPSNAVIINFO* pointer : m_host.RecordPointers()) EXPECT_EQ(&g_GpsNaviInfo, pointer);
    // No "GPSNavi FixSpeed" in the profile: the course hold is off, so a
    // course at rest is shown as received.
    ASSERT_TRUE(m_pty.Write("$GPVTG,200.0,T,,M,0.0,N,0.0,K\r\n"));
    ASSERT_TRUE(m_host.WaitForRecords(5));
    EXPECT_DOUBLE_EQ(200.0, m_host.LastRecord().dCourse);

    StopGpsLink();
    size_t count = m_host.RecordCount();
    EXPECT_EQ("ReleaseGpsNavi", m_host.Calls().back());
    ASSERT_TRUE(m_pty.Write(std::string(kGga) + "$"));
    EXPECT_FALSE(m_host.WaitForRecords(count + 1, 200));  // no record after the release
}

TEST_F(LinkTest, AnyTalkerFromTheProfileTakesOtherTalkers) {
    m_host.profile["GPSNavi AnyTalker"] = 1;
    ChooseMenu();
    ASSERT_NE(nullptr, g_pGPSComm);
    EXPECT_EQ(1, g_pGPSComm->m_bAnyTalker);
    ASSERT_TRUE(m_pty.Write("$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*59\r\n"));
    ASSERT_TRUE(m_host.WaitForRecords(2));
    EXPECT_DOUBLE_EQ(48.1173, m_host.LastRecord().dLatitude);
}

TEST_F(LinkTest, NoReceiverTypeDecodesNothingButSendsEveryLine) {
    m_host.profile["GPSNavi Protcol"] = 5;
    bool nmea = true, sony = true;
    ChooseMenu([&](HWND dialog) {
        nmea = DialogDriver::Checked(dialog, IDC_DEVICE_NMEA);
        sony = DialogDriver::Checked(dialog, IDC_DEVICE_SONY);
        DialogDriver::Click(dialog, IDOK);
    });
    EXPECT_FALSE(nmea);
    EXPECT_FALSE(sony);
    ASSERT_NE(nullptr, g_pGPSComm);
    EXPECT_EQ(-1, g_pGPSComm->m_nProtocol);
    EXPECT_EQ("GPSNavi Protcol=-1", ProfileWrites().back());
    EXPECT_EQ("", m_pty.Read(1, 200));  // no Sony command
    ASSERT_TRUE(m_pty.Write(std::string(kGga) + kRmc + "$"));
    ASSERT_TRUE(m_host.WaitForRecords(3));
    EXPECT_TRUE(AllZeroBut(m_host.LastRecord(), 5));
}

TEST_F(LinkTest, SecondStartIsRefusedWhileALinkRuns) {
    ChooseMenu();
    CGPSComm* first = g_pGPSComm;
    ASSERT_NE(nullptr, first);
    ChooseMenu();
    EXPECT_FALSE(m_dialogShown);
    EXPECT_EQ(first, g_pGPSComm);
    EXPECT_EQ(1u, m_host.starts.size());
    long state = 9;
    MenuCallback(101, 0, reinterpret_cast<VPI_LPARAM>(&state));
    EXPECT_EQ(0, state);
}

#ifndef _WIN32  // the stand-in fails the port, counts threads and ports, and runs scripts on the UI thread
TEST_F(LinkTest, PortThatCannotBeOpenedSavesTheSettingsAndReleasesNavigation) {
    ChooseMenu([&](HWND dialog) {
        DialogDriver::Click(dialog, IDC_COMMSETTING);  // configured: Start leaves the port alone
        W32MapComPort("COM2", "/nonexistent/tty-for-test");
        DialogDriver::Click(dialog, IDOK);
    });
    EXPECT_EQ(nullptr, g_pGPSComm);
    ASSERT_EQ(1u, m_messages.size());
    EXPECT_EQ("Cannot Open COM port", m_messages[0]);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), m_messageStyles[0]);
    EXPECT_EQ(6u, ProfileWrites().size());
    EXPECT_EQ(1, m_host.releases);
    EXPECT_TRUE(m_host.starts.empty());
    EXPECT_EQ(0u, W32CountOpenComPorts());

    // The menu command can start again.
    ASSERT_TRUE(W32MapComPort("COM2", m_pty.path().c_str()));
    ChooseMenu();
    EXPECT_NE(nullptr, g_pGPSComm);
}

TEST_F(LinkTest, StopOrStartWhileTheDialogIsOpenLeavesTheStartAlone) {
    CGPSComm* underDialog = nullptr;
    long state = 9;
    int dialogs = 0;
    ChooseMenu([&](HWND dialog) {
        if (++dialogs > 1) {  // a second start got as far as its own dialog
            DialogDriver::Click(dialog, IDCANCEL);
            return;
        }
        MenuCallback(100, 0, 0);
        HookCallback(506, 0, 0);
        underDialog = g_pGPSComm;
        MenuCallback(101, 0, reinterpret_cast<VPI_LPARAM>(&state));
        DialogDriver::Click(dialog, IDOK);
    });
    EXPECT_EQ(1, dialogs);
    EXPECT_NE(nullptr, underDialog);
    EXPECT_EQ(0, state);
    EXPECT_EQ(underDialog, g_pGPSComm);
    EXPECT_EQ(0, m_host.releases);
    EXPECT_EQ(1, g_pGPSComm->IsRunning());
}

TEST_F(LinkTest, StopWhileTheThreadWaitsEndsItAndClosesThePort) {
    size_t threadsBefore = W32CountRunningThreads();
    ChooseMenu();
    ASSERT_NE(nullptr, g_pGPSComm);
    EXPECT_EQ(threadsBefore + 1, W32CountRunningThreads());
    ASSERT_TRUE(W32WaitSerialBlocked("COM2", kPatienceMs)) << "the thread never armed its wait";
    EXPECT_EQ(1, Close());
    EXPECT_EQ(nullptr, g_pGPSComm);
    EXPECT_EQ(threadsBefore, W32CountRunningThreads());
    EXPECT_EQ(0u, W32CountOpenComPorts());
}

TEST_F(LinkTest, ThreadThatMissesTheFirstWakeIsWokenAgain) {
    size_t threadsBefore = W32CountRunningThreads();
    ChooseMenu();
    ASSERT_NE(nullptr, g_pGPSComm);
    // The fault must meet a wait that is armed: one armed after the first
    // mask change would be ended by nothing but the stop's second change.
    ASSERT_TRUE(W32WaitSerialBlocked("COM2", kPatienceMs)) << "the thread never armed its wait";
    W32SerialCounters before{};
    W32GetSerialCounters("COM2", &before);
    ASSERT_TRUE(W32SetSerialFault("COM2", W32_SERIAL_FAULT_MASK_NO_WAKE, 0, 1));
    StopGpsLink();
    W32ClearSerialFaults("COM2");
    EXPECT_EQ(nullptr, g_pGPSComm);
    EXPECT_EQ(threadsBefore, W32CountRunningThreads());
    W32SerialCounters after{};
    W32GetSerialCounters("COM2", &after);
    EXPECT_EQ(before.faults + 1, after.faults);  // the first change did not wake it
}

TEST_F(LinkTest, ThreadThatCannotBeCreatedUndoesTheStart) {
    W32FailThreadCreations(1);
    ChooseMenu();
    W32FailThreadCreations(0);
    EXPECT_EQ(nullptr, g_pGPSComm);
    ASSERT_EQ(1u, m_messages.size());
    EXPECT_EQ("Out of memory", m_messages[0]);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), m_messageStyles[0]);
    EXPECT_EQ(1, m_host.releases);
    EXPECT_EQ(0u, W32CountOpenComPorts());
    ChooseMenu();
    EXPECT_NE(nullptr, g_pGPSComm);
}

TEST_F(LinkTest, ALineDecodedDuringTheStopReachesTheHostBeforeTheRelease) {
    ChooseMenu();
    CGPSComm* comm = g_pGPSComm;
    ASSERT_NE(nullptr, comm);
    std::atomic<bool> reading{false};
    // The thread is about to read a sentence when the stop comes; it goes on
    // only once the stop has cleared the flag (and, were the release made
    // before the wait for the thread, once that has happened).
    CallHook read(W32_SERIAL_CALL_READ, [&](HANDLE) {
        reading = true;
        WaitUntil([&] { return !comm->IsRunning(); });
        WaitUntil([&] { return Contains(m_host.Calls(), "ReleaseGpsNavi"); }, 300);
    });
    ASSERT_TRUE(m_pty.Write(std::string(kGga) + "$"));
    ASSERT_TRUE(WaitUntil([&] { return reading.load(); }));
    StopGpsLink();
    std::vector<std::string> calls = m_host.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ("SetGpsNaviInfo", calls[calls.size() - 2]);
    EXPECT_EQ("ReleaseGpsNavi", calls.back());
    EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "ReleaseGpsNavi"));
    EXPECT_STREQ("123519", m_host.LastRecord().szTime);
}

TEST_F(LinkTest, StopWhileAReadIsPendingEnds) {
    ChooseMenu();
    ASSERT_NE(nullptr, g_pGPSComm);
    std::atomic<bool> taken{false};
    // The bytes the status reported are gone before the read is issued, so
    // the read waits for bytes that a silent device never sends.
    CallHook read(W32_SERIAL_CALL_READ, [&](HANDLE port) {
        if (!taken.exchange(true)) PurgeComm(port, PURGE_RXCLEAR);
    });
    ASSERT_TRUE(m_pty.Write(kGga));
    ASSERT_TRUE(WaitUntil([&] { return taken.load(); }));
    ASSERT_TRUE(W32WaitSerialBlocked("COM2", kPatienceMs)) << "the read never waited";
    std::atomic<bool> stopped{false}, rescued{false};
    std::thread rescue([&] {  // frees a hung stop, so that the test ends
        if (WaitUntil([&] { return stopped.load(); })) return;
        rescued = true;
        m_pty.Write(std::string(300, 'x'));
    });
    StopGpsLink();
    stopped = true;
    rescue.join();
    EXPECT_FALSE(rescued) << "the pending read held the stop";
    EXPECT_EQ(nullptr, g_pGPSComm);
    EXPECT_EQ(0u, W32CountOpenComPorts());
}
#endif

// Sony receivers: 9600 baud, the start command once, then fixed-column
// records decoded.
std::string SonyRecord(const char* time, char ns, const char* lat, char ew, const char* lon, const char* speed,
                       const char* course, char satellites, char datum) {
    std::string line = "SONY";
    line += std::string(9, '0');
    line += time;  // 13..18
    line += ns;    // 19
    line += lat;   // 20..26
    line += ew;    // 27
    line += lon;   // 28..35
    line += std::string(5, '0');
    line += speed;   // 41..43
    line += course;  // 44..46
    line += std::string(14, '0');
    line += satellites;  // 61
    line += datum;       // 62
    return line + "\r\n";
}

TEST_F(LinkTest, SonyReceiverGetsItsCommandAndItsRecordsAreDecoded) {
    ChooseMenu([](HWND dialog) {
        DialogDriver::Click(dialog, IDC_DEVICE_SONY);
        DialogDriver::Click(dialog, IDOK);
    });
    ASSERT_NE(nullptr, g_pGPSComm);
    EXPECT_EQ(1, g_pGPSComm->m_nProtocol);
    EXPECT_EQ("@DMS\n", m_pty.Read(5));
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(g_pGPSComm->m_hComm, &dcb));
    EXPECT_EQ(9600u, dcb.BaudRate);
#ifndef _WIN32
    termios tio;
    ASSERT_EQ(0, tcgetattr(m_pty.deviceFd(), &tio));
    EXPECT_EQ(static_cast<speed_t>(B9600), cfgetospeed(&tio));
#endif

    std::string record = SonyRecord("123456", 'N', "3540123", 'E', "13945300", "045", "270", '7', 'B');
    ASSERT_TRUE(m_pty.Write(record + record.substr(0, 4)));
    ASSERT_TRUE(m_host.WaitForRecords(2));
    tagGPSNAVIINFO last = m_host.LastRecord();
    EXPECT_STREQ("123456", last.szTime);
    EXPECT_DOUBLE_EQ(VpiPacked60To10(3540123 * 0.00001), last.dLatitude);
    EXPECT_NEAR(35.0 + 40.0 / 60 + 12.3 / 3600, last.dLatitude, 1e-9);
    EXPECT_NEAR(139.0 + 45.0 / 60 + 30.0 / 3600, last.dLongitude, 1e-9);
    EXPECT_DOUBLE_EQ(45.0, last.dSpeed);
    EXPECT_DOUBLE_EQ(270.0, last.dCourse);
    EXPECT_EQ(7, last.nSatellites);
    EXPECT_EQ(1, last.nDatum);
    EXPECT_EQ(0.0, last.dAltitude);
    EXPECT_STREQ("", last.szDate);
    StopGpsLink();
    EXPECT_EQ("", m_pty.Read(1, 100));  // the command went once
}

}  // namespace
}  // namespace link_test
