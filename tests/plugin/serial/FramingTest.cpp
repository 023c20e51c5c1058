// CutSentence and DropNulBytes: where sentences are cut, and that nothing is
// ever written outside the buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "serial/ReceiverThread.h"

namespace {

const unsigned char kCanary = 0xA5;
const int kGuard = 32;

// The thread's two buffers, with guard bytes behind each.
class Framer {
public:
    explicit Framer(int nProtocol = 0) : m_nProtocol(nProtocol) {
        memset(m_buffer, kCanary, sizeof m_buffer);
        memset(m_sentence, kCanary, sizeof m_sentence);
        m_buffer[0] = '\0';
    }

    bool Cut(const std::string& chunk) { return Cut(chunk.c_str()); }
    bool Cut(const char* pszChunk) {
        return CutSentence(m_buffer, pszChunk, m_sentence, RECEIVER_BUFFER_SIZE, RECEIVER_SENTENCE_SIZE, m_nProtocol) ==
               1;
    }
    // Cuts like the receiver: once with the chunk, then while sentences are left.
    std::vector<std::string> Feed(const std::string& chunk) {
        std::vector<std::string> cut;
        for (bool more = Cut(chunk); more; more = Cut("")) cut.push_back(Sentence());
        return cut;
    }

    std::string Sentence() const { return m_sentence; }
    std::string Held() const { return m_buffer; }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuard; i++) {
            if (static_cast<unsigned char>(m_buffer[RECEIVER_BUFFER_SIZE + i]) != kCanary) return false;
            if (static_cast<unsigned char>(m_sentence[RECEIVER_SENTENCE_SIZE + i]) != kCanary) return false;
        }
        return true;
    }

private:
    int m_nProtocol;
    char m_buffer[RECEIVER_BUFFER_SIZE + kGuard];
    char m_sentence[RECEIVER_SENTENCE_SIZE + kGuard];
};

TEST(FramingTest, CutsBehindTheLineFeedOrAtTheNextMarkerWhicheverComesFirst) {
    Framer f;
    EXPECT_EQ(f.Feed("$GPGGA,1*00\r\n"), (std::vector<std::string>{"$GPGGA,1*00\r\n"}));
    EXPECT_EQ(f.Held(), "");
    EXPECT_EQ(f.Feed("$A,1$B,2\r\nxy$C\n\n$D"), (std::vector<std::string>{"$A,1", "$B,2\r\n", "xy", "$C\n", "\n"}));
    EXPECT_EQ(f.Held(), "$D");
}

TEST(FramingTest, MarkerAtIndexZeroIsNoCutPoint) {
    Framer f;
    EXPECT_FALSE(f.Cut("$GPGGA,1*00\r"));
    EXPECT_TRUE(f.Cut("\n"));
    EXPECT_EQ(f.Sentence(), "$GPGGA,1*00\r\n");
    EXPECT_FALSE(f.Cut("$"));
    EXPECT_FALSE(f.Cut("x"));
    EXPECT_TRUE(f.Cut("$")) << "a marker right behind index 0 is one";
    EXPECT_EQ(f.Sentence(), "$x");
}

TEST(FramingTest, EveryCompleteSentenceOfAChunkIsCut) {
    Framer f;
    EXPECT_EQ(f.Feed("$A,1\r\n$B,2\r\n$C,3\r\n$D"), (std::vector<std::string>{"$A,1\r\n", "$B,2\r\n", "$C,3\r\n"}));
    EXPECT_EQ(f.Held(), "$D");
}

TEST(FramingTest, EmptyOrMissingChunkStillCutsWhatWaits) {
    Framer f;
    EXPECT_TRUE(f.Cut("$A\r\n$B\r\n$C"));
    EXPECT_EQ(f.Sentence(), "$A\r\n");
    EXPECT_TRUE(f.Cut(""));
    EXPECT_EQ(f.Sentence(), "$B\r\n");
    EXPECT_FALSE(f.Cut(static_cast<const char*>(nullptr)));
    EXPECT_EQ(f.Held(), "$C");
}

TEST(FramingTest, ReceptionBeginningMidSentenceCutsTheTailFirst) {
    Framer f;
    EXPECT_EQ(f.Feed("45.4,M,46.9,M,,*47\r\n$GPGGA,1"), (std::vector<std::string>{"45.4,M,46.9,M,,*47\r\n"}));
    EXPECT_EQ(f.Held(), "$GPGGA,1");
}

TEST(FramingTest, SonyRecordsNeedAllFourLetters) {
    Framer f(1);
    EXPECT_FALSE(f.Cut("SONY,1,2SON"));
    EXPECT_FALSE(f.Cut("")) << "three letters are not enough";
    EXPECT_TRUE(f.Cut("Y,3\r"));
    EXPECT_EQ(f.Sentence(), "SONY,1,2");
    EXPECT_EQ(f.Feed("\n"), (std::vector<std::string>{"SONY,3\r\n"}));

    Framer g(1);
    EXPECT_FALSE(g.Cut("SONY,1$GPGGA\r$x sony SONx"));  // '$' and other cases are no markers
    Framer n(0);
    EXPECT_FALSE(n.Cut("$GPGGA,SONY,SONY"));  // and "SONY" is none for NMEA
}

TEST(FramingTest, OverlongSentenceKeepsWhatTheSentenceBufferHolds) {
    Framer f;
    std::string sentence = "$GPGGA," + std::string(293, 'A');
    ASSERT_EQ(sentence.size(), 300u);
    std::vector<std::string> cut;
    for (size_t at = 0; at < sentence.size(); at += 100) {
        auto part = f.Feed(sentence.substr(at, 100));
        cut.insert(cut.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(cut.empty());
    cut = f.Feed("$GPRMC");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0], sentence.substr(0, RECEIVER_SENTENCE_SIZE - 1));
    EXPECT_EQ(f.Held(), "$GPRMC");
    EXPECT_TRUE(f.GuardsIntact());
}

TEST(FramingTest, NoiseThatFillsTheBufferPushesTheOldestTextOut) {
    Framer f;
    EXPECT_TRUE(f.Feed(std::string(1279, 'x')).empty());
    EXPECT_EQ(f.Held().size(), 1279u);
    // The chunk that follows is kept, the oldest noise goes.
    auto cut = f.Feed("$GPGGA,1\r\n$GPRMC,2\r\n$");
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut[0], std::string(RECEIVER_SENTENCE_SIZE - 1, 'x'));
    EXPECT_EQ(cut[1], "$GPGGA,1\r\n");
    EXPECT_EQ(cut[2], "$GPRMC,2\r\n");
    EXPECT_EQ(f.Held(), "$");
    EXPECT_TRUE(f.GuardsIntact());
}

TEST(FramingTest, ChunkLongerThanTheBufferIsBounded) {
    Framer f;
    std::string chunk = std::string(1000, 'a') + "$" + std::string(1500, 'b');
    EXPECT_FALSE(f.Cut(chunk));
    EXPECT_EQ(f.Held(), std::string(1279, 'b'));
    EXPECT_TRUE(f.GuardsIntact());
}

TEST(FramingTest, DegenerateArgumentsCutNothingAndWriteNothing) {
    char buffer[8] = "$A$B";
    char sentence[4] = "zzz";
    EXPECT_EQ(CutSentence(nullptr, "$x", sentence, 8, 4, 0), 0);
    EXPECT_EQ(CutSentence(buffer, "$x", nullptr, 8, 4, 0), 0);
    EXPECT_EQ(CutSentence(buffer, "$x", sentence, 1, 4, 0), 0);
    EXPECT_EQ(CutSentence(buffer, "$x", sentence, 8, 0, 0), 0);
    EXPECT_STREQ(buffer, "$A$B");
    EXPECT_STREQ(sentence, "zzz");
    // A one-byte sentence buffer gets the empty text.
    EXPECT_EQ(CutSentence(buffer, "", sentence, 8, 1, 0), 1);
    EXPECT_STREQ(sentence, "");
    EXPECT_STREQ(buffer, "$B");
}

TEST(FramingTest, RandomChunksLoseNothingAndStayInBounds) {
    std::mt19937 random(20261208);
    const char alphabet[] = "$$$GPGA,0123456789.*\r\n";
    Framer f;
    std::string fed;
    std::string cut;
    for (int i = 0; i < 20000; i++) {
        std::string chunk(random() % 256, ' ');
        for (char& c : chunk) c = alphabet[random() % (sizeof alphabet - 1)];
        fed += chunk;
        for (const std::string& s : f.Feed(chunk)) {
            ASSERT_LT(s.size(), static_cast<size_t>(RECEIVER_SENTENCE_SIZE));
            ASSERT_EQ(s.find('$', 1), std::string::npos) << "each sentence ends at the next marker";
            ASSERT_TRUE(s.find('\n') == std::string::npos || s.find('\n') == s.size() - 1) << "or behind a line feed";
            cut += s;
        }
        ASSERT_LT(f.Held().size(), 1280u);
        ASSERT_TRUE(f.Held().empty() || f.Held().find('$', 1) == std::string::npos);
        ASSERT_EQ(f.Held().find('\n'), std::string::npos);
    }
    // Markers are frequent, so no sentence was over-long and nothing dropped.
    EXPECT_EQ(cut + f.Held(), fed);
    EXPECT_TRUE(f.GuardsIntact());
}

TEST(FramingTest, DropNulBytesKeepsTheOthersInOrder) {
    char data[] = {'a', '\0', 'b', '\0', '\0', 'c', '\0'};
    EXPECT_EQ(DropNulBytes(data, 7), 3);
    EXPECT_EQ(std::string(data, 3), "abc");
    char none[] = {'\0', '\0'};
    EXPECT_EQ(DropNulBytes(none, 2), 0);
    EXPECT_EQ(DropNulBytes(none, 0), 0);
}

}  // namespace
