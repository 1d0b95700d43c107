#include "ServiceManager.h"

#include <glog/logging.h>

#include "Common/WinVersion.h"
#include "platform/vendor/Calvory.h"

namespace {
enum ServiceState {
    kCannotOpen = 0,
    kStopped = 1,
    kStartPending = 2,
    kStopPending = 3,
    kContinuePending = 5,
    kPausePending = 6,
};
}  // namespace

std::vector<std::string> CServiceManager::RequiredServices(bool withSharing) {
    std::vector<std::string> list = {"Alg", "Winmgmt"};
    if (!IsWindowsVersionOrGreater(6, 0, 0)) {
        list.push_back("WzcSvc");
    } else {
        for (const char* s :
             {"BFE", "Netman", "MpsSvc", "Wcmsvc", "WlanSvc", "WwanSvc", "iphlpsvc"})
            list.push_back(s);
    }
    if (withSharing) {
        list.push_back("Rasman");
        list.push_back("SharedAccess");
    }
    return list;
}

bool CServiceManager::StartRequiredServices(bool withSharing) {
    for (const auto& name : RequiredServices(withSharing))
        if (!StartService(name.c_str()))
            return false;
    return true;
}

bool CServiceManager::StartService(const char* name) {
    const int state = plat::calvory::GetServiceStatus(name);
    if (state == kCannotOpen) {
        LOG(INFO) << "Open Service failed.." << name;
        return false;
    }
    if (state != kStopped && state != kStopPending) {
        LOG(INFO) << "Service " << name << " is start. status :" << state;
        return true;
    }
    LOG(INFO) << " start service " << name;
    if (plat::calvory::StartServiceByNameEx(name) == 0) {
        LOG(ERROR) << "Start service " << name << " failed";
        return false;
    }
    LOG(INFO) << " Start service " << name << "succeed";
    return true;
}

bool CServiceManager::StopService(const char* name) {
    const int state = plat::calvory::GetServiceStatus(name);
    if (state == kStopped) {
        LOG(INFO) << "Service " << name << " is already stoped. status :" << state;
        return true;
    }
    if (state == kStartPending || state == kStopPending || state == kContinuePending ||
        state == kPausePending) {
        LOG(INFO) << "Service " << name << " is pending..status :" << state;
        return false;
    }
    if (plat::calvory::StopServiceByName(name) == 0) {
        LOG(INFO) << "Service " << name << "stopped failed. return" << 0;
        return false;
    }
    return true;
}

void CServiceManager::LogStartTypeFailure(const char* name, int code) {
    LOG(ERROR) << "ChangeServiceStartType <" << name << "> failed return " << code;
}
