// The receiver types: the start dialog's radio buttons in their order, the
// value stored under "GPSNavi Protcol" and CGPSComm::m_nProtocol.
#pragma once

enum NtReceiverType {
    NT_RECEIVER_NONE = -1,  // no radio button chosen
    NT_RECEIVER_NMEA = 0,
    NT_RECEIVER_SONY = 1,
};
