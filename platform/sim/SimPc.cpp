#include "SimPc.h"

#include <atomic>

#include "../Platform.h"
#include "SimBackend.h"

namespace plat {

namespace {
std::atomic<SimPc*> g_current{nullptr};
}

SimPc::SimPc() = default;

SimPc::~SimPc() {
    SimPc* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

SimPc& SimPc::Install() {
    auto pc = std::make_unique<SimPc>();
    SimPc& ref = *pc;
    Platform::Install(std::make_unique<SimBackend>(std::move(pc)));
    g_current = &ref;
    ref.wlan.Library().MakeCurrent();
    return ref;
}

SimPc* SimPc::Current() {
    return g_current.load();
}

}  // namespace plat
