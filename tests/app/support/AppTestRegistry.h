// The Qt Test classes of the GUI test program, each registered once from its
// own source file with APP_TEST(ClassName).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class AppTestRegistry {
public:
    using Factory = std::function<std::unique_ptr<QObject>()>;
    static std::vector<Factory>& Classes() {
        static std::vector<Factory> classes;
        return classes;
    }
    explicit AppTestRegistry(Factory factory) { Classes().push_back(std::move(factory)); }
};

#define APP_TEST(Class) \
    static const AppTestRegistry g_register##Class([] { return std::make_unique<Class>(); })
