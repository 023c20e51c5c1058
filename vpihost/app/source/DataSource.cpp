#include "source/DataSource.h"

#ifndef _WIN32
#include "source/ReadTap.h"
#else
#include <mutex>

#include "source/ModuleReads.h"
#include "source/SentenceIds.h"
#endif

namespace vpihost {

#ifdef _WIN32
// The identifiers of what the module read, gathered on its reading thread
// under a lock held only for the copy.
struct DataSource::ModuleReadIds {
    std::mutex mutex;
    SentenceIds ids;
    static void Take(void* context, const char* bytes, size_t size) {
        auto* reads = static_cast<ModuleReadIds*>(context);
        std::lock_guard<std::mutex> lock(reads->mutex);
        reads->ids.Take(bytes, size);
    }
};
#endif

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
#else
    if (m_moduleReads) {
        std::lock_guard<std::mutex> lock(m_moduleReads->mutex);
        return m_moduleReads->ids.Seen();
    }
#endif
    return {};
}

void DataSource::WatchModule(HMODULE module) {
#ifdef _WIN32
    m_moduleReads = std::make_unique<ModuleReadIds>();
    WatchModuleReads(module, &ModuleReadIds::Take, m_moduleReads.get());
#else
    (void)module;
#endif
}

void DataSource::DrainTap() {
#ifndef _WIN32
    if (m_tap) m_tap->Drain();
#endif
}

bool DataSource::StartTap(const SourceSettings& settings, std::string* error) {
#ifndef _WIN32
    m_tap = std::make_shared<ReadTap>();
    m_tap->Origins().SetSony(settings.sony);
    return settings.logPath.empty() || m_tap->LogTo(settings.logPath, error);
#else
    (void)settings, (void)error;
    return true;
#endif
}

}  // namespace vpihost
