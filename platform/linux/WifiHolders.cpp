#include "WifiHolders.h"

#include <fnmatch.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace plat {

namespace {

constexpr std::size_t kMaxCommandLine = 64 * 1024;

std::vector<std::string> CommandLine(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text(kMaxCommandLine, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::vector<std::string> out;
    std::string part;
    for (char c : text) {
        if (c == '\0') {
            out.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        out.push_back(part);
    return out;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The values of an option given as "-xVALUE", "-x VALUE", "--long=VALUE" or
// "--long VALUE".
std::vector<std::string> Values(const std::vector<std::string>& args, const std::string& shortName,
                                const std::string& longName) {
    std::vector<std::string> out;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool isShort = !shortName.empty() && a == shortName;
        const bool isLong = !longName.empty() && a == longName;
        if ((isShort || isLong) && i + 1 < args.size()) {
            out.push_back(args[++i]);
        } else if (!shortName.empty() && a.size() > shortName.size() &&
                   a.compare(0, shortName.size(), shortName) == 0 && a[1] != '-') {
            out.push_back(a.substr(shortName.size()));
        } else if (!longName.empty() && a.compare(0, longName.size() + 1, longName + "=") == 0) {
            out.push_back(a.substr(longName.size() + 1));
        }
    }
    return out;
}

// iwd's interface lists: comma-separated glob patterns.
bool Matches(const std::vector<std::string>& lists, const std::string& iface) {
    for (const std::string& list : lists) {
        std::istringstream in(list);
        std::string pattern;
        while (std::getline(in, pattern, ','))
            if (!pattern.empty() && fnmatch(pattern.c_str(), iface.c_str(), 0) == 0)
                return true;
    }
    return false;
}

}  // namespace

bool WifiHolders::Holds(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& iface) {
    if (program == "iwd") {
        const auto only = Values(arguments, "-i", "--interfaces");
        const auto except = Values(arguments, "-I", "--nointerfaces");
        if (Matches(except, iface))
            return false;
        return only.empty() || Matches(only, iface);
    }
    if (program == "wpa_supplicant") {
        for (const std::string& name : Values(arguments, "-i", ""))
            if (name == iface)
                return true;
    }
    return false;
}

namespace {

// The processes under `procRoot`: pid and command line.
std::vector<std::pair<std::string, std::vector<std::string>>> Processes(
    const std::string& procRoot) {
    std::vector<std::pair<std::string, std::vector<std::string>>> out;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(procRoot, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.size() > 9 ||
            name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::vector<std::string> args = CommandLine(it->path() / "cmdline");
        if (!args.empty())
            out.emplace_back(name, std::move(args));
    }
    return out;
}

}  // namespace

std::vector<WifiHolders::CardHolder> WifiHolders::FindOnCard(const std::string& station,
                                                             const std::string& phy,
                                                             const std::string& apIface,
                                                             const std::string& procRoot) {
    std::vector<CardHolder> out;
    for (const auto& [pid, args] : Processes(procRoot)) {
        if (BaseName(args[0]) != "iwd")
            continue;
        const auto only = Values(args, "-i", "--interfaces");
        const auto except = Values(args, "-I", "--nointerfaces");
        const auto phys = Values(args, "-p", "--phys");
        const auto nophys = Values(args, "-P", "--nophys");
        CardHolder h;
        h.holder.program = "iwd";
        h.holder.pid = std::stoi(pid);
        if (!only.empty() && Matches(only, apIface) && !Matches(except, apIface)) {
            h.holder.what = "iwd (process " + pid + ") is told to manage " + apIface +
                            " (its --interfaces list) and would keep hostapd from running the "
                            "access point on it";
            h.holder.fix = "take " + apIface + " out of iwd's --interfaces list";
            out.push_back(h);
            continue;
        }
        const bool managesCard =
            !phy.empty() && !Matches(nophys, phy) && (phys.empty() || Matches(phys, phy));
        if (!managesCard || !Holds("iwd", args, station))
            continue;
        h.warning = true;
        h.holder.what = "iwd (process " + pid + ") manages " + phy + ", the card of " + station +
                        ": it leaves " + apIface +
                        " alone while it runs, but a restart of iwd (or the card coming again) "
                        "deletes the card's other interfaces and ends the access point";
        h.holder.fix = "do not restart iwd while the hotspot runs";
        out.push_back(h);
    }
    return out;
}

std::vector<WifiHolder> WifiHolders::Find(const std::string& iface, const std::string& procRoot) {
    std::vector<WifiHolder> out;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(procRoot, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::vector<std::string> args = CommandLine(it->path() / "cmdline");
        if (args.empty())
            continue;
        const std::string program = BaseName(args[0]);
        if (!Holds(program, args, iface))
            continue;
        WifiHolder h;
        h.program = program;
        h.pid = std::stoi(name.substr(0, 9));
        if (program == "iwd") {
            h.what = "iwd (process " + name + ") manages " + iface +
                     " and keeps hostapd from running an access point on it";
            h.fix =
                "stop iwd while the hotspot runs (systemctl stop iwd), or start it with "
                "--nointerfaces " +
                iface;
        } else {
            h.what = "a wpa_supplicant that NetworkManager does not own (process " + name +
                     ") holds " + iface + " and keeps hostapd from running an access point on it";
            h.fix = "stop it while the hotspot runs (systemctl stop wpa_supplicant@" + iface +
                    ", or the service that started it)";
        }
        out.push_back(h);
    }
    return out;
}

}  // namespace plat
