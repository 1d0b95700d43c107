#include "Platform.h"

#include <mutex>
#include <vector>

#include "Backend.h"
#include "platform/common/DiskFileStore.h"

namespace plat {

FileStore& Backend::Files() {
    return DiskFileStore::Instance();
}

namespace {
std::mutex g_lock;
std::unique_ptr<Backend> g_backend;
std::vector<std::function<void()>>& Resets() {
    static std::vector<std::function<void()>> resets;
    return resets;
}
}  // namespace

Backend& Platform::Current() {
    std::lock_guard<std::mutex> g(g_lock);
    if (!g_backend)
        g_backend = MakeDefault();
    return *g_backend;
}

void Platform::Install(std::unique_ptr<Backend> backend) {
    std::lock_guard<std::mutex> g(g_lock);
    g_backend = std::move(backend);
}

void Platform::Uninstall() {
    std::unique_ptr<Backend> old;
    {
        std::lock_guard<std::mutex> g(g_lock);
        old = std::move(g_backend);
    }
}

void Platform::RegisterReset(std::function<void()> reset) {
    std::lock_guard<std::mutex> g(g_lock);
    Resets().push_back(std::move(reset));
}

void Platform::ResetAll() {
    std::vector<std::function<void()>> copy;
    {
        std::lock_guard<std::mutex> g(g_lock);
        copy = Resets();
    }
    for (auto& r : copy)
        r();
}

}  // namespace plat
