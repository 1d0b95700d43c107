#include "NeighbourCheck.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/MacText.h"

bool NeighbourCheck::Matches(std::uint32_t local, std::uint32_t peer, const QByteArray& macText,
                             QByteArray* seen) {
    if (seen != nullptr)
        seen->clear();
    plat::IpHelper& net = plat::Platform::Current().Net();
    std::vector<plat::AdapterInfo> adapters;
    if (local == 0 || peer == 0 || net.Adapters(&adapters) != 0)
        return false;
    const std::string localText = plat::Ipv4Text::Format(local);
    const auto adapter =
        std::find_if(adapters.begin(), adapters.end(), [&localText](const plat::AdapterInfo& a) {
            return std::any_of(
                a.ipv4.begin(), a.ipv4.end(),
                [&localText](const plat::Ipv4Address& x) { return x.ip == localText; });
        });
    std::vector<plat::NeighbourRow> rows;
    if (adapter == adapters.end() || net.Neighbours(&rows) != 0)
        return false;
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const plat::NeighbourRow& r) {
        return r.ip == peer && r.ifIndex == adapter->ifIndex;
    });
    if (row == rows.end() || row->mac.size() != 6)
        return false;
    if (seen != nullptr)
        *seen = QByteArray::fromStdString(plat::MacText::Format(row->mac.data()));
    plat::MacAddress expected{};
    return plat::MacText::Parse(macText.constData(), &expected) &&
           std::equal(expected.begin(), expected.end(), row->mac.begin());
}
