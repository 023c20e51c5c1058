// A host for tests: installs itself in the PluginIf library for its
// lifetime, records every call the plug-in makes, keeps an in-memory profile
// and lets a test set what the host answers.
#pragma once

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Timing.h"
#include "vpi_host.h"

class RecordingHost : public IVpiHost {
public:
    struct Menu {
        unsigned int nPluginId;
        unsigned int nPlace;
        std::string text;
        VPI_CALLBACK pfnCallback;
    };
    struct Hook {
        unsigned int nKind;
        tagHOOKENTRY entry;
    };
    struct Start {
        int bCentering, b3DView, bRecord, nMode;
    };

    RecordingHost() { m_previous = VpiInstallHost(this); }
    ~RecordingHost() override { VpiInstallHost(m_previous); }
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    // What the host answers.
    int version = 7420;
    int initGpsNaviResult = 1;
    int localTimeOption = 0;  // the view option at offset 20
    unsigned int activeView = 7;

    int GetVersion() override { return version; }

    unsigned int AddHook(unsigned int nKind, tagHOOKENTRY* pEntry) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Hook hook{nKind, {}};
        if (pEntry) hook.entry = *pEntry;
        hooks.push_back(hook);
        Log("AddHook");
        return 100 + static_cast<unsigned int>(hooks.size());
    }

    unsigned int AddMenu(unsigned int nPluginId, unsigned int nPlace, const char* pszText,
                         VPI_CALLBACK pfnCallback) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        menus.push_back({nPluginId, nPlace, pszText ? pszText : "", pfnCallback});
        Log("AddMenu");
        return 200 + static_cast<unsigned int>(menus.size());
    }

    unsigned int GetProfileInt(unsigned int nPluginId, const char* pszKey, int nDefault) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Log(std::string("GetProfileInt ") + pszKey);
        lastProfileId = nPluginId;
        auto it = profile.find(pszKey);
        return static_cast<unsigned int>(it == profile.end() ? nDefault : it->second);
    }

    int WriteProfileInt(unsigned int nPluginId, const char* pszKey, int nValue) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Log(std::string("WriteProfileInt ") + pszKey + "=" + std::to_string(nValue));
        lastProfileId = nPluginId;
        profile[pszKey] = nValue;
        return 1;
    }

    unsigned int GetActiveView() override { return activeView; }

    void GetViewOptions(unsigned int nView, tagVIEWOPTIONS* pOptions) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        viewOptionSizes.push_back(pOptions ? pOptions->dwSize : 0);
        viewOptionViews.push_back(nView);
        if (pOptions) pOptions->bLocalTime = localTimeOption;
    }

    int InitGpsNavi(unsigned int nView, VPI_CALLBACK pfnCallback) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Log("InitGpsNavi");
        initView = nView;
        naviCallback = pfnCallback;
        return initGpsNaviResult;
    }

    void StartGpsNavi(int bCentering, int b3DView, int bRecord, int nMode) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Log("StartGpsNavi");
        starts.push_back({bCentering, b3DView, bRecord, nMode});
    }

    void SetGpsNaviInfo(tagGPSNAVIINFO* pInfo) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            tagGPSNAVIINFO copy;
            memcpy(&copy, pInfo, sizeof copy);
            records.push_back(copy);
            recordPointers.push_back(pInfo);
            Log("SetGpsNaviInfo");
        }
        m_changed.notify_all();
    }

    void ReleaseGpsNavi() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Log("ReleaseGpsNavi");
        ++releases;
    }

    double Convert60to10(double dPacked) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        packedArguments.push_back(dPacked);
        return VpiPacked60To10(dPacked);
    }

    // Waits until at least n records have arrived; false on timeout.
    bool WaitForRecords(size_t n, int milliseconds = kPatienceMs) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return records.size() >= n; });
    }

    size_t RecordCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return records.size();
    }

    tagGPSNAVIINFO LastRecord() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return records.empty() ? tagGPSNAVIINFO{} : records.back();
    }

    // Copies, taken under the lock: the receiver thread appends while a test reads.
    std::vector<tagGPSNAVIINFO> Records() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return records;
    }

    std::vector<const tagGPSNAVIINFO*> RecordPointers() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return recordPointers;
    }

    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return calls;
    }

    void ClearCalls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        calls.clear();
        records.clear();
        recordPointers.clear();
    }

    // Recorded state; read it once the plug-in's threads are quiet, or
    // through the locked accessors above.
    std::vector<Hook> hooks;
    std::vector<Menu> menus;
    std::map<std::string, int> profile;
    unsigned int lastProfileId = 0;
    std::vector<unsigned int> viewOptionSizes;
    std::vector<unsigned int> viewOptionViews;
    unsigned int initView = 0;
    VPI_CALLBACK naviCallback = nullptr;
    std::vector<Start> starts;
    std::vector<tagGPSNAVIINFO> records;
    std::vector<const tagGPSNAVIINFO*> recordPointers;
    std::vector<double> packedArguments;
    int releases = 0;

private:
    void Log(const std::string& call) { calls.push_back(call); }

    IVpiHost* m_previous;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> calls;
};
