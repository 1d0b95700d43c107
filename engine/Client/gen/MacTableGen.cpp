// Builds the manufacturer table "mac.dat" from the IEEE registry lists
// (CSV: Registry,Assignment,Organization Name,Organization Address).
// Usage: MacTableGen OUTPUT LIST.csv...
// Blocks assigned to "Private" owners and the registry's own large blocks
// (which the medium and small lists refine) are left out, so such a device
// reads as of unknown make instead of a wrong one.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Client/ManufactoryTable.h"

namespace {

// One CSV record; quoted fields may hold commas and doubled quotes.
bool ReadRecord(std::istream& in, std::vector<std::string>* fields) {
    fields->clear();
    std::string field;
    bool quoted = false;
    bool any = false;
    int c;
    while ((c = in.get()) != EOF) {
        any = true;
        if (quoted) {
            if (c == '"') {
                if (in.peek() == '"') {
                    field += '"';
                    in.get();
                } else {
                    quoted = false;
                }
            } else {
                field += static_cast<char>(c);
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields->push_back(field);
            field.clear();
        } else if (c == '\n') {
            break;
        } else if (c != '\r') {
            field += static_cast<char>(c);
        }
    }
    if (any)
        fields->push_back(field);
    return any;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(std::string s) {
    auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!s.empty() && blank(static_cast<unsigned char>(s.back())))
        s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && blank(static_cast<unsigned char>(s[i])))
        ++i;
    return s.substr(i);
}

// Makers whose name says what their devices are. The first whose key occurs in
// the organisation's name (lower case) gives the short maker name and the
// device type; a maker of many kinds of device gets no type.
struct Brand {
    const char* key;
    const char* name;
    const char* type;
};
const Brand kBrands[] = {
    // Phones and tablets.
    {"xiaomi", "Xiaomi", "phone"},
    {"oneplus", "OnePlus", "phone"},
    {"guangdong oppo", "OPPO", "phone"},
    {"vivo mobile", "vivo", "phone"},
    {"realme", "realme", "phone"},
    {"huawei device", "Huawei", "phone"},
    {"honor device", "Honor", "phone"},
    {"meizu", "Meizu", "phone"},
    {"motorola mobility", "Motorola", "phone"},
    {"htc corporation", "HTC", "phone"},
    {"sony mobile", "Sony", "phone"},
    {"hmd global", "Nokia", "phone"},
    {"yulong computer", "Coolpad", "phone"},
    {"lg electronics (mobile", "LG", "phone"},
    {"samsung electronics", "Samsung", "phone"},
    {"zte corporation", "ZTE", ""},
    {"huawei", "Huawei", ""},
    {"apple, inc", "Apple", ""},
    {"apple inc", "Apple", ""},
    {"google", "Google", ""},
    // Computers and the Wi-Fi cards built into them.
    {"intel corporate", "Intel", "computer"},
    {"dell inc", "Dell", "computer"},
    {"hewlett packard", "HP", "computer"},
    {"hp inc", "HP", "computer"},
    {"lenovo mobile", "Lenovo", "phone"},
    {"lenovo", "Lenovo", "computer"},
    {"asustek computer", "ASUS", "computer"},
    {"acer inc", "Acer", "computer"},
    {"micro-star", "MSI", "computer"},
    {"giga-byte", "GIGABYTE", "computer"},
    {"liteon", "Lite-On", "computer"},
    {"toshiba", "Toshiba", "computer"},
    {"fujitsu", "Fujitsu", "computer"},
    {"microsoft", "Microsoft", "computer"},
    // Everything else that joins a hotspot: printers, consoles, speakers,
    // network gear, plugs and cameras.
    {"espressif", "Espressif", "other"},
    {"tp-link", "TP-Link", "other"},
    {"amazon technologies", "Amazon", "other"},
    {"sonos", "Sonos", "other"},
    {"roku, inc", "Roku", "other"},
    {"roku inc", "Roku", "other"},
    {"canon inc", "Canon", "other"},
    {"seiko epson", "Epson", "other"},
    {"brother industries", "Brother", "other"},
    {"nintendo", "Nintendo", "other"},
    {"sony interactive", "Sony", "other"},
    {"raspberry pi", "Raspberry Pi", "other"},
    {"hangzhou hikvision", "Hikvision", "other"},
    {"zhejiang dahua", "Dahua", "other"},
    {"nest labs", "Google Nest", "other"},
    {"signify", "Philips Hue", "other"},
    {"cisco", "Cisco", "other"},
    {"netgear", "NETGEAR", "other"},
    {"d-link", "D-Link", "other"},
    {"ubiquiti", "Ubiquiti", "other"},
};

// The organisation's name without its legal form ("Co., Ltd", "Inc.", ...).
std::string ShortName(const std::string& organisation) {
    static const char* kSuffixes[] = {"co., ltd.",
                                      "co.,ltd.",
                                      "co., ltd",
                                      "co.,ltd",
                                      "co ltd",
                                      "co. ltd",
                                      "company limited",
                                      "limited",
                                      "ltd.",
                                      "ltd",
                                      "incorporated",
                                      "inc.",
                                      "inc",
                                      "corporation",
                                      "corp.",
                                      "corp",
                                      "gmbh",
                                      "llc",
                                      "l.l.c.",
                                      "s.a.",
                                      "s.p.a.",
                                      "b.v.",
                                      "ag",
                                      "a/s",
                                      "oy",
                                      "ab",
                                      "pty",
                                      "pte",
                                      "sas",
                                      "s.r.l.",
                                      "co.",
                                      "co"};
    std::string s = Trim(organisation);
    for (bool changed = true; changed;) {
        changed = false;
        while (!s.empty() && (s.back() == ',' || s.back() == '.' || s.back() == ' '))
            s.pop_back();
        const std::string lower = Lower(s);
        for (const char* suffix : kSuffixes) {
            const std::string suf = std::string(" ") + suffix;
            if (lower.size() > suf.size() + 2 &&
                lower.compare(lower.size() - suf.size(), suf.size(), suf) == 0) {
                s.erase(s.size() - suf.size());
                changed = true;
                break;
            }
        }
    }
    return s.empty() ? Trim(organisation) : s;
}

std::string Clean(std::string s) {
    for (char& c : s)
        if (c == '|' || c == '\r' || c == '\n')
            c = ' ';
    return Trim(s);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: MacTableGen OUTPUT LIST.csv...\n";
        return 2;
    }
    std::map<std::string, std::string> lines;  // prefix -> line
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::cerr << "MacTableGen: cannot read " << argv[i] << "\n";
            return 1;
        }
        std::vector<std::string> f;
        bool first = true;
        while (ReadRecord(in, &f)) {
            if (first) {  // column names
                first = false;
                continue;
            }
            if (f.size() < 3)
                continue;
            std::string prefix = Trim(f[1]);
            for (char& c : prefix)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            const bool hex = std::all_of(prefix.begin(), prefix.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) != 0;
            });
            if (!hex || (prefix.size() != 6 && prefix.size() != 7 && prefix.size() != 9))
                continue;
            const std::string organisation = Clean(f[2]);
            const std::string lower = Lower(organisation);
            if (organisation.empty() || lower == "private" ||
                lower == "ieee registration authority")
                continue;
            std::string name = ShortName(organisation);
            std::string type;
            for (const Brand& b : kBrands) {
                if (lower.find(b.key) != std::string::npos) {
                    name = b.name;
                    type = b.type;
                    break;
                }
            }
            lines[prefix] = prefix + "|" + Clean(name) + "|" + organisation + "|" + type + "\r";
        }
    }
    std::string body;
    for (const auto& [prefix, line] : lines)
        body += line;
    char sum[17];
    std::snprintf(
        sum, sizeof sum, "%016llx",
        static_cast<unsigned long long>(CManufactoryTable::Checksum(body.data(), body.size())));
    std::string text = std::string(CManufactoryTable::kMagic) + "|" + std::to_string(lines.size()) +
                       "|" + sum + "|1\r" + body;
    CManufactoryTable::Scramble(&text);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        std::cerr << "MacTableGen: cannot write " << argv[1] << "\n";
        return 1;
    }
    std::cout << "mac.dat: " << lines.size() << " prefixes\n";
    return 0;
}
