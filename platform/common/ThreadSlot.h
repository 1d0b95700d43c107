// A per-thread object that is destroyed when its thread ends.
//
// `thread_local` objects with destructors are unsound in MinGW-w64's posix
// thread build: the emulated thread storage is freed before the C++ thread
// destructors run, so a destructor reads and writes freed memory (the heap
// corruption seen as crashes under Wine and on Windows). A thread key with a
// destructor owns the object instead; the key's destructor gets the object's
// address, not thread storage, and runs on both systems.
#pragma once

#include <pthread.h>

namespace plat {

template <typename T>
class ThreadSlot {
public:
    ThreadSlot() { m_ok = pthread_key_create(&m_key, &Destroy) == 0; }
    ~ThreadSlot() {
        // Slots live for the program (function-level statics): this runs on
        // the main thread at exit, whose object no thread end will destroy.
        if (!m_ok)
            return;
        Destroy(pthread_getspecific(m_key));
        pthread_setspecific(m_key, nullptr);
        pthread_key_delete(m_key);
    }
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    // The calling thread's object, made on first use.
    T& Get() {
        if (auto* p = static_cast<T*>(pthread_getspecific(m_key)))
            return *p;
        auto* p = new T();
        if (m_ok && pthread_setspecific(m_key, p) == 0)
            return *p;
        // No key: the object lives as long as the program.
        return *p;
    }
    // The calling thread's object, or null when it has none yet.
    T* Find() const { return m_ok ? static_cast<T*>(pthread_getspecific(m_key)) : nullptr; }

private:
    static void Destroy(void* p) { delete static_cast<T*>(p); }

    pthread_key_t m_key{};
    bool m_ok = false;
};

}  // namespace plat
