// Bad input through framing, the assembler and the decoder: the records do
// not depend on how the line was cut into reads, and noise does not stop
// decoding.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "Sentences.h"
#include "serial/GPSComm.h"
#include "serial/ReceiverThread.h"

namespace {

// The receiver's per-read path with fresh buffers, one link.
class Receiver {
public:
    explicit Receiver(int nProtocol = 0) {
        ResetNaviInfo();
        m_comm.m_nProtocol = nProtocol;
        m_szBuffer[0] = '\0';
    }
    void Read(const std::string& bytes) {
        for (size_t at = 0; at < bytes.size(); at += RECEIVER_READ_SIZE - 1) {
            std::string part = bytes.substr(at, RECEIVER_READ_SIZE - 1);
            memcpy(m_szRead, part.data(), part.size());
            FrameReceived(&m_comm, m_szBuffer, m_szRead, static_cast<int>(part.size()), m_szSentence);
        }
    }
    std::vector<std::string> Records() {
        std::vector<std::string> all;
        for (const tagGPSNAVIINFO& r : m_host.records) all.emplace_back(reinterpret_cast<const char*>(&r), sizeof r);
        return all;
    }
    RecordingHost& host() { return m_host; }

private:
    RecordingHost m_host;
    CGPSComm m_comm;
    char m_szRead[RECEIVER_READ_SIZE];
    char m_szSentence[RECEIVER_SENTENCE_SIZE];
    char m_szBuffer[RECEIVER_BUFFER_SIZE];
};

std::string Burst() { return Gga(101010) + Gsa() + Rmc(101011) + Vtg(45) + Gga(101012) + "$PGRMM,WGS 84*06\r\n"; }

std::vector<std::string> RecordsOf(const std::vector<std::string>& reads) {
    Receiver receiver;
    for (const std::string& r : reads) receiver.Read(r);
    return receiver.Records();
}

TEST(ChunkingTest, EveryByteBoundaryGivesTheSameRecords) {
    const std::string stream = Burst();
    const std::vector<std::string> expected = RecordsOf({stream});
    ASSERT_EQ(expected.size(), 6u);
    for (size_t k = 0; k <= stream.size(); k++) {
        ASSERT_EQ(RecordsOf({stream.substr(0, k), stream.substr(k)}), expected) << "split at " << k;
    }
}

TEST(ChunkingTest, ByteByByteAndRandomReadsGiveTheSameRecords) {
    std::string stream;
    for (int i = 0; i < 20; i++) stream += Burst();
    const std::vector<std::string> expected = RecordsOf({stream});
    ASSERT_EQ(expected.size(), 120u);

    std::vector<std::string> single;
    for (char c : stream) single.emplace_back(1, c);
    EXPECT_EQ(RecordsOf(single), expected);

    std::mt19937 random(7);
    for (int round = 0; round < 20; round++) {
        std::vector<std::string> reads;
        for (size_t at = 0; at < stream.size();) {
            size_t n = random() % 300;
            reads.push_back(stream.substr(at, n));
            at += n;
        }
        ASSERT_EQ(RecordsOf(reads), expected) << "round " << round;
    }
}

TEST(ChunkingTest, NulBytesAnywhereChangeNothing) {
    const std::string stream = Burst();
    const std::vector<std::string> expected = RecordsOf({stream});
    for (size_t k = 0; k <= stream.size(); k += 7) {
        std::string withNul = stream.substr(0, k) + std::string(3, '\0') + stream.substr(k);
        ASSERT_EQ(RecordsOf({withNul}), expected) << "NUL bytes at " << k;
    }
}

// A line that the assembler can hold (255 characters before its line feed)
// is decoded; a longer one loses its line feed and is not, and the next
// sentence is decoded as usual.
TEST(ChunkingTest, LinesUpTo255CharactersAreDecoded) {
    for (size_t length : {254u, 255u, 256u}) {
        std::string body = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
        body.append(length - body.size() - 5, ',');  // '$', body, "*hh\r"
        const std::string line = Sentence(body.c_str());
        ASSERT_EQ(line.find('\n'), length);
        Receiver receiver;
        receiver.Read(line + Gga(101010));
        std::vector<std::string> times;
        for (const tagGPSNAVIINFO& r : receiver.host().records) times.push_back(TimeOf(r));
        std::vector<std::string> expected = {"123519", "101010"};
        if (length > 255) expected.erase(expected.begin());
        EXPECT_EQ(times, expected) << length;
    }
}

TEST(ChunkingTest, DecodingResumesAfterNoise) {
    std::mt19937 random(42);
    for (bool withMarkers : {false, true}) {
        Receiver receiver;
        std::string noise(1 << 20, '\0');
        for (char& c : noise) {
            c = static_cast<char>(random());
            if (!withMarkers && c == '$') c = '#';
        }
        receiver.Read(noise);
        receiver.Read("\r\n" + Gga(235959) + Rmc(235958) + "$");
        tagGPSNAVIINFO last = receiver.host().LastRecord();
        EXPECT_EQ(TimeOf(last), "235958") << withMarkers;
        EXPECT_NEAR(last.dLatitude, 35.65, 1e-9);
        EXPECT_NEAR(last.dLongitude, 139.75, 1e-9);
        EXPECT_EQ(last.dwSize, 80u);
    }
}

}  // namespace
