#include "WiFiJoinCode.h"

#include <qrencode.h>

#include <memory>

std::string WiFiJoinCode::Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == ';' || c == ',' || c == ':' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string WiFiJoinCode::Payload(std::string_view ssid, std::string_view password, bool wpa) {
    return TypedPayload(ssid, password, wpa ? "WPA" : "WEP");
}

std::string WiFiJoinCode::TypedPayload(std::string_view ssid, std::string_view password,
                                       std::string_view type) {
    return "WIFI:T:" + std::string(type) + ";S:" + Escape(ssid) + ";P:" + Escape(password) + ";;";
}

WiFiJoinCode::Symbol WiFiJoinCode::Encode(std::string_view text) {
    Symbol symbol;
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(static_cast<int>(text.size()),
                          reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_M),
        &QRcode_free);
    if (!code || code->width <= 0)
        return symbol;
    symbol.width = code->width;
    const std::size_t count = static_cast<std::size_t>(code->width) * code->width;
    symbol.dark.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        symbol.dark[i] = (code->data[i] & 1) != 0;
    return symbol;
}

std::string WiFiJoinCode::HalfBlocks(const Symbol& symbol, int quiet) {
    if (symbol.width <= 0)
        return {};
    if (quiet < 0)
        quiet = 0;
    const int side = symbol.width + 2 * quiet;
    // Outside the symbol (the quiet zone, and the half line below an odd
    // count of rows) is light.
    auto light = [&](int x, int y) {
        const int sx = x - quiet;
        const int sy = y - quiet;
        if (sx < 0 || sy < 0 || sx >= symbol.width || sy >= symbol.width)
            return true;
        return !symbol.Dark(sx, sy);
    };
    std::string out;
    for (int y = 0; y < side; y += 2) {
        for (int x = 0; x < side; ++x) {
            const bool top = light(x, y);
            const bool bottom = y + 1 >= side || light(x, y + 1);
            if (top && bottom)
                out += "\u2588";
            else if (top)
                out += "\u2580";
            else if (bottom)
                out += "\u2584";
            else
                out += ' ';
        }
        out += '\n';
    }
    return out;
}
