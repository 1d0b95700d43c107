// A process-wide object created on first use and kept for the life of the
// process. Tests delete it between cases through Platform::ResetAll, so every
// case starts from a fresh process state; the program never does.
#pragma once

#include <mutex>

#include "platform/Platform.h"

template <class T>
class ProcessSingleton {
public:
    static T* Get() {
        std::lock_guard<std::mutex> g(Lock());
        if (Instance() == nullptr) {
            Instance() = new T();
            static std::once_flag registered;
            std::call_once(registered, [] { plat::Platform::RegisterReset(&Reset); });
        }
        return Instance();
    }

private:
    static void Reset() {
        std::lock_guard<std::mutex> g(Lock());
        delete Instance();
        Instance() = nullptr;
    }
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static T*& Instance() {
        static T* instance = nullptr;
        return instance;
    }
};
