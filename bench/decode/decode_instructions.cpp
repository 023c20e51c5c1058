// Runs DecodeLine over one sentence kind or the mixed burst a given number
// of times, for instruction counts under callgrind (bench/decode/count-instructions.sh).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "NullHost.h"
#include "Sentences.h"
#include "serial/GPSComm.h"
#include "serial/ModuleState.h"

using namespace bench_sentences;

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s gga|gsa|rmc|vtg|gll|pgrmm|gsv|sony|burst <repeats>\n", argv[0]);
        return 2;
    }
    std::string kind = argv[1];
    std::vector<std::string> lines;
    int nProtocol = 0;
    if (kind == "burst") {
        lines = MixedBurst();
    } else {
        const struct {
            const char* pszName;
            const char* pszLine;
        } kinds[] = {{"gga", kGga}, {"gsa", kGsa},     {"rmc", kRmc}, {"vtg", kVtg},
                     {"gll", kGll}, {"pgrmm", kPgrmm}, {"gsv", kGsv}, {"sony", kSony}};
        for (const auto& k : kinds) {
            if (kind == k.pszName) lines.push_back(k.pszLine);
        }
        if (lines.empty()) return 2;
        if (kind == "sony") nProtocol = 1;
    }
    NullHost host;
    CGPSComm comm;
    comm.m_nProtocol = nProtocol;
    comm.m_nFixSpeed = 5;
    long lRepeats = atol(argv[2]);
    for (long i = 0; i < lRepeats; ++i) {
        for (const std::string& line : lines) {
            memcpy(comm.m_szLine, line.c_str(), line.size() + 1);
            comm.DecodeLine();
        }
    }
    printf("%zu\n", lines.size() * static_cast<size_t>(lRepeats));
    return 0;
}
