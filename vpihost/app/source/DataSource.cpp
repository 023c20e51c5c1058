#include "source/DataSource.h"

#ifndef _WIN32
#include "source/ReadTap.h"
#endif

namespace vpihost {

DataSource::DataSource() = default;

DataSource::~DataSource() {
    if (m_loop) m_loop->StopAfterEachTurn(m_afterTurn);
}

bool DataSource::Start(HoldBack*, std::string*) { return true; }

void DataSource::Attach(EventLoop& loop) {
#ifndef _WIN32
    m_loop = &loop;
    if (m_tap) m_afterTurn = loop.AfterEachTurn(EventLoop::Step::kHandOn, [tap = m_tap] { tap->Drain(); });
#else
    (void)loop;
#endif
}

std::string DataSource::Failure() const {
#ifndef _WIN32
    if (m_tap) return m_tap->Failure();
#endif
    return std::string();
}

std::vector<std::string> DataSource::SentenceIdsRead() const {
#ifndef _WIN32
    if (m_tap) return m_tap->SentenceIdsRead();
#endif
    return {};
}

void DataSource::DrainTap() {
#ifndef _WIN32
    if (m_tap) m_tap->Drain();
#endif
}

bool DataSource::StartTap(const SourceSettings& settings, std::string* error) {
#ifndef _WIN32
    m_tap = std::make_shared<ReadTap>();
    return settings.logPath.empty() || m_tap->LogTo(settings.logPath, error);
#else
    (void)settings, (void)error;
    return true;
#endif
}

}  // namespace vpihost
