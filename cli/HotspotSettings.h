// lumari-hotspot's own settings kept between runs, beside the engine's in the
// settings file of the state folder (section "lumari-hotspot", enciphered like
// the engine's): network name, pass phrase, access-point interface, DNS
// relay, security, band, channel and country. A value the file holds that does not pass the option
// checks is left out. A run without a stored name or pass phrase makes new ones.
#pragma once

#include <string>

#include "HotspotOptions.h"

struct HotspotSettings {
    std::string ssid;
    std::string key;
    std::string apInterface;
    bool dnsRelay = false;
    std::string security;  // empty: WPA2/WPA3 where the driver offers SAE, else WPA2
    std::string band = "auto";
    int channel = 0;  // auto
    std::string country;
    std::string oneCard = "auto";  // one card for both: "auto", "on", "off"

    static constexpr const char* kSection = "lumari-hotspot";

    static HotspotSettings Load(const std::string& file);
    bool Save(const std::string& file) const;
    // The options given replace the stored values.
    void Apply(const HotspotOptions& options);
    // Fills an empty name or pass phrase; true when it did (to be told).
    bool MakeMissing();
    // The join text of the name and pass phrase (what the window's QR code
    // holds) drawn in Unicode half blocks for a terminal.
    std::string JoinCodeText() const;
};
