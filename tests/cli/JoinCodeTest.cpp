// The join code in a terminal: `lumari-hotspot --qr` prints the half blocks,
// which are drawn back into an image here and read by a real QR decoder
// (zbarimg) to the exact join text.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Common/WiFiJoinCode.h"
#include "HotspotSettings.h"
#include "NetNamespace.h"
#include "support/TempDir.h"

namespace {

struct Result {
    int status = -1;
    std::string out;
};

// Runs the program with `args`, standard output captured.
Result RunProgram(const std::vector<std::string>& args) {
    Result r;
#ifdef LUMARI_HOTSPOT_PATH
    int out[2];
    if (pipe(out) != 0)
        return r;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<std::string> all = {LUMARI_HOTSPOT_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        r.out.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
    (void)args;
#endif
    return r;
}

// The half blocks as a bitmap (PBM, 4 pixels a module): a drawn half is
// light, a blank one dark, as a terminal with light text on dark shows them.
// Empty when the text holds anything else.
std::string HalfBlocksToPbm(const std::string& text) {
    std::vector<std::vector<bool>> dark;  // rows of modules
    std::size_t width = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            return {};
        std::vector<bool> top, bottom;
        for (std::size_t i = start; i < end;) {
            if (text[i] == ' ') {
                top.push_back(true);
                bottom.push_back(true);
                ++i;
                continue;
            }
            const std::string glyph = text.substr(i, 3);
            if (glyph == "\u2588") {
                top.push_back(false);
                bottom.push_back(false);
            } else if (glyph == "\u2580") {
                top.push_back(false);
                bottom.push_back(true);
            } else if (glyph == "\u2584") {
                top.push_back(true);
                bottom.push_back(false);
            } else {
                return {};
            }
            i += 3;
        }
        if (width == 0)
            width = top.size();
        if (top.size() != width)
            return {};
        dark.push_back(top);
        dark.push_back(bottom);
        start = end + 1;
    }
    constexpr std::size_t kScale = 4;
    std::string pbm =
        "P1\n" + std::to_string(width * kScale) + " " + std::to_string(dark.size() * kScale) + "\n";
    for (const auto& row : dark)
        for (std::size_t k = 0; k < kScale; ++k) {
            for (bool d : row)
                for (std::size_t j = 0; j < kScale; ++j)
                    pbm += d ? "1 " : "0 ";
            pbm += "\n";
        }
    return pbm;
}

// What zbarimg reads from the drawn half blocks; "" when it reads nothing.
std::string Decode(const TempDir& dir, const std::string& halfBlocks) {
    const std::string pbm = HalfBlocksToPbm(halfBlocks);
    if (pbm.empty())
        return "<not half blocks>";
    dir.Write("code.pbm", pbm);
    std::FILE* p = popen(("zbarimg --raw -q " + dir.File("code.pbm")).c_str(), "r");
    if (p == nullptr)
        return {};
    std::string out;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    pclose(p);
    if (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

TEST(JoinCode, PrintedCodeDecodesToTheExactJoinTextOfGivenOrStoredValues) {
#ifndef LUMARI_HOTSPOT_PATH
    GTEST_SKIP() << "lumari-hotspot is not built";
#endif
    if (nettest::Run("command -v zbarimg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "zbarimg is not installed";
    TempDir dir;
    // Given on the command line, with every character the form reserves.
    const std::string ssid = "Caf;e: \"Net\",\\x";
    const std::string key = "p;a:s\"s,w\\rd";
    Result r = RunProgram({"--qr", "--ssid", ssid, "--key", key, "--state-dir", dir.Path()});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(Decode(dir, r.out),
              "WIFI:T:WPA;S:Caf\\;e\\: \\\"Net\\\"\\,\\\\x;P:p\\;a\\:s\\\"s\\,w\\\\rd;;");
    EXPECT_EQ(Decode(dir, r.out), WiFiJoinCode::Payload(ssid, key));

    // Nothing stored and nothing given: nothing to show.
    r = RunProgram({"--qr", "--ssid", "Only", "--state-dir", dir.Path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());

    // The stored values of the state folder, an option over one of them.
    HotspotSettings stored;
    stored.ssid = "Stored:Net";
    stored.key = "stored;key1";
    ASSERT_TRUE(stored.Save(dir.File("Lumari.cfg")));
    r = RunProgram({"--qr", "--state-dir", dir.Path()});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(Decode(dir, r.out), "WIFI:T:WPA;S:Stored\\:Net;P:stored\\;key1;;");
    r = RunProgram({"--qr", "--key", "other:key", "--state-dir", dir.Path()});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(Decode(dir, r.out), "WIFI:T:WPA;S:Stored\\:Net;P:other\\:key;;");
}

}  // namespace
