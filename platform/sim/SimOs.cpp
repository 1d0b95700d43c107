#include "SimOs.h"

#include "SimCodePage.h"
#include "SimFaults.h"
#include "platform/text/TextCodec.h"

namespace plat {

void SimOs::SetWindows(SimWindows version) {
    OsVersion v;
    bool productInfo = true;
    DWORD edition = 0x30;  // PRODUCT_PROFESSIONAL
    switch (version) {
        case SimWindows::XpSp1:
            v = {5, 1, 1, 2600, 1};
            productInfo = false;
            break;
        case SimWindows::XpSp2:
            v = {5, 1, 2, 2600, 1};
            productInfo = false;
            break;
        case SimWindows::XpSp3:
            v = {5, 1, 3, 2600, 1};
            productInfo = false;
            break;
        case SimWindows::Vista:
            v = {6, 0, 2, 6002, 1};
            break;
        case SimWindows::Seven:
            v = {6, 1, 1, 7601, 1};
            break;
        case SimWindows::SevenStarter:
            v = {6, 1, 1, 7601, 1};
            edition = 0x0B;
            break;
        case SimWindows::Eight:
            v = {6, 2, 0, 9200, 1};
            break;
        case SimWindows::EightOne:
            v = {6, 3, 0, 9600, 1};
            break;
        case SimWindows::Server2008R2:
            v = {6, 1, 1, 7601, 3};
            edition = 0x07;
            break;
        case SimWindows::Ten1809:
            v = {10, 0, 0, 17763, 1};
            break;
        case SimWindows::Ten:
            v = {10, 0, 0, 19045, 1};
            break;
        case SimWindows::Eleven:
            v = {10, 0, 0, 22631, 1};
            break;
    }
    SetVersion(v, productInfo, edition);
}

void SimOs::SetVersion(const OsVersion& v, bool hasProductInfo, DWORD edition) {
    std::lock_guard<std::mutex> g(m_lock);
    m_version = v;
    m_hasProductInfo = hasProductInfo;
    m_edition = edition;
}

void SimOs::SetComputerName(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_computerName = name;
}

void SimOs::SetModuleFileName(const std::string& path) {
    std::lock_guard<std::mutex> g(m_lock);
    m_moduleFileName = path;
}

void SimOs::SetCodePage(unsigned codePage) {
    std::lock_guard<std::mutex> g(m_lock);
    m_codePage = codePage;
}

void SimOs::SetNativeArchitecture(int arch) {
    std::lock_guard<std::mutex> g(m_lock);
    m_arch = arch;
}

void SimOs::SetElevated(bool elevated) {
    std::lock_guard<std::mutex> g(m_lock);
    m_elevated = elevated;
}

void SimOs::SetWow64Process(bool wow64) {
    std::lock_guard<std::mutex> g(m_lock);
    m_wow64 = wow64;
    if (wow64)
        m_arch = 9;  // only a 64-bit system runs 32-bit programs beside its own
}

bool SimOs::IsElevated() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_elevated;
}

bool SimOs::IsWow64Process() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_wow64;
}

OsVersion SimOs::Version() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_version;
}

bool SimOs::ProductInfo(DWORD* edition) {
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_hasProductInfo)
        return false;
    if (edition != nullptr)
        *edition = m_edition;
    return true;
}

std::string SimOs::Description() {
    std::lock_guard<std::mutex> g(m_lock);
    return "Simulated Windows " + std::to_string(m_version.major) + "." +
           std::to_string(m_version.minor) + " SP" + std::to_string(m_version.servicePackMajor);
}

std::string SimOs::ComputerName() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_computerName;
}

std::string SimOs::ModuleFileName() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_moduleFileName;
}

bool SimOs::AnsiToWide(const std::string& in, std::wstring* out) {
    unsigned cp;
    {
        std::lock_guard<std::mutex> g(m_lock);
        cp = m_codePage;
    }
    if (m_faults.Take("MultiByteToWideChar"))
        return false;
    if (cp == SimCodePage::kChinese)
        return SimCodePage::ChineseToWide(in, out);
    if (cp == 1252) {
        std::wstring w;
        for (unsigned char c : in)
            w.push_back(static_cast<wchar_t>(c));
        if (out != nullptr)
            *out = w;
        return true;
    }
    return TextCodec::Utf8ToWide(in, out);
}

bool SimOs::WideToAnsi(const std::wstring& in, std::string* out) {
    unsigned cp;
    {
        std::lock_guard<std::mutex> g(m_lock);
        cp = m_codePage;
    }
    if (m_faults.Take("WideCharToMultiByte"))
        return false;
    if (cp == SimCodePage::kChinese)
        return SimCodePage::WideToChinese(in, out);
    if (cp == 1252) {
        std::string s;
        for (wchar_t c : in) {
            if (static_cast<std::uint32_t>(c) > 0xFF)
                return false;
            s.push_back(static_cast<char>(c));
        }
        if (out != nullptr)
            *out = s;
        return true;
    }
    return TextCodec::WideToUtf8(in, out);
}

int SimOs::NativeArchitecture() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_arch;
}

void SimOs::SetAppDataFolder(const std::string& path) {
    std::lock_guard<std::mutex> g(m_lock);
    m_appData = path;
}

std::string SimOs::AppDataFolder() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_appData;
}

}  // namespace plat
