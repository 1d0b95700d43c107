// The service unit bounds its restarts, and a configuration no restart can
// mend ends it: the exit statuses it lists are those the program gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "StartFailure.h"

namespace {

TEST(RadioServiceUnit, RestartsAreBoundedAndConfigurationFailuresAreNotRestarted) {
    const std::filesystem::path unit = LUMARI_SERVICE_UNIT;
    std::ifstream in(unit);
    ASSERT_TRUE(in) << unit;
    std::string section;
    std::map<std::string, std::string> keys;  // "Section.Key" -> value
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            keys[section + "." + line.substr(0, eq)] = line.substr(eq + 1);
    }
    EXPECT_EQ(keys["Service.Restart"], "on-failure");
    // systemd reads the start limits in [Unit] only.
    ASSERT_FALSE(keys["Unit.StartLimitIntervalSec"].empty());
    ASSERT_FALSE(keys["Unit.StartLimitBurst"].empty());
    EXPECT_LE(std::stoi(keys["Unit.StartLimitBurst"]), 5);
    EXPECT_GE(std::stoi(keys["Unit.StartLimitIntervalSec"]),
              std::stoi(keys["Unit.StartLimitBurst"]) * std::stoi(keys["Service.RestartSec"]));

    std::set<int> prevented;
    std::istringstream list(keys["Service.RestartPreventExitStatus"]);
    for (int status; list >> status;)
        prevented.insert(status);
    // Wrong options (2), not root (5), a driver without AP mode, a name or
    // pass phrase the access point refuses.
    for (int status : {2, 5, StartFailure::ExitStatus(1002), StartFailure::ExitStatus(1005),
                       StartFailure::ExitStatus(1006)})
        EXPECT_EQ(prevented.count(status), 1u) << status;
    // What a later start may find mended (an adapter plugged in, a radio
    // switched on, hostapd failing once) is restarted.
    for (int status : {1, StartFailure::ExitStatus(1001), StartFailure::ExitStatus(5023)})
        EXPECT_EQ(prevented.count(status), 0u) << status;
}

}  // namespace
