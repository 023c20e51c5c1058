// Which sentence each record came from, so that a second can be reported
// when the sentence that ends the receiver's cycle has been decoded. The
// module hands one record for every line it decodes, and decodes every line
// a read completes before it reads again, all on the thread that reads; the
// read tap sees each read's bytes just before. So the line ends of a read,
// counted, pair the records with their lines. Lines whose records do not
// come are forgotten at the next read, so that the pairing never drifts.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>

namespace vpihost {

class RecordOrigins {
public:
    // The module takes Sony records: their pieces begin at "SONY", not '$'.
    void SetSony(bool sony);
    // The bytes of one read, before the module frames them.
    void Read(const char* bytes, size_t size);
    // The sentence of the record being handed ("$GPRMC", "SONY"); empty
    // when it is not known (a line of neither kind, the record the link
    // sends at its start). One call for every record, in order.
    std::string Next();

    static constexpr size_t kIdLength = 6;  // "$GPRMC": the module reads the first six characters
    // Lines one read can complete: a read brings at most 255 bytes.
    static constexpr size_t kMaxPending = 256;
    // The module cuts the stream at each start marker ('$' or "SONY") and
    // behind each line end into pieces, and keeps the first 256 characters
    // of each: a line of 255 and its line end.
    static constexpr size_t kMaxPiece = 256;

private:
    using Id = std::array<char, kIdLength + 1>;

    void Take(char c);
    void EndLine();
    void Append(char c);

    std::mutex m_mutex;  // the link's start sends a record from another thread
    // The line under way: its first characters since its '$' or the last
    // line end, as the module's line assembler keeps them.
    std::array<char, kIdLength> m_head{};
    size_t m_headLength = 0;
    size_t m_piece = 0;  // characters since the last start marker or line end
    bool m_sony = false;
    // The three characters before this one, for "SONY", and which of them
    // fell in the lost tail of a piece.
    std::array<char, 3> m_before{};
    std::array<bool, 3> m_beforeLost{};
    // Lines of the last read whose records have not come yet.
    std::array<Id, kMaxPending> m_pending{};
    size_t m_first = 0, m_count = 0;
};

}  // namespace vpihost
