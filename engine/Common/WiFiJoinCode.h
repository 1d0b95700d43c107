// The text and QR symbol that let a phone join the hotspot in one scan: the
// network in the "WIFI:" form that phone cameras understand, encoded with
// libqrencode. The window draws the symbol as an image, lumari-hotspot as
// Unicode half blocks in a terminal; both start from the same text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class WiFiJoinCode {
public:
    // The modules of a symbol, row by row, true for dark.
    struct Symbol {
        int width = 0;
        std::vector<bool> dark;
        bool Dark(int x, int y) const { return dark[static_cast<std::size_t>(y * width + x)]; }
    };

    // "WIFI:T:<WPA|WEP>;S:<name>;P:<password>;;" (UTF-8) with '\', ';', ',',
    // ':' and '"' escaped by a backslash. `wpa` false gives WEP (the ten-digit
    // key of an ad-hoc network).
    static std::string Payload(std::string_view ssid, std::string_view password, bool wpa = true);
    // The same with the type given: "WPA" (WPA2, or WPA2 and WPA3 together),
    // "SAE" (WPA3 only) or "WEP".
    static std::string TypedPayload(std::string_view ssid, std::string_view password,
                                    std::string_view type);
    // Backslash-escapes the characters the form reserves.
    static std::string Escape(std::string_view text);
    // The symbol of `text` (error correction M, smallest version); width 0
    // when it cannot be encoded (too long).
    static Symbol Encode(std::string_view text);
    // The symbol for a terminal with light text on a dark background: two
    // module rows per line, light modules drawn (U+2588, U+2580, U+2584), dark
    // ones left blank, inside a light quiet zone of `quiet` modules. Lines end
    // with '\n'. Empty for an empty symbol.
    static std::string HalfBlocks(const Symbol& symbol, int quiet = 4);
};
