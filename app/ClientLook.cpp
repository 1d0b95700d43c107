#include "ClientLook.h"

#include <QCoreApplication>
#include <array>
#include <string_view>

namespace {

const QString kImages = QStringLiteral(":/images/AppWindow/");

struct MakerRule {
    const char* contains;  // UTF-8, matched with its case
    const char* icon;
    const char* name;
};

// Makers named in the maker table, first match wins.
const std::array<MakerRule, 10> kMakers{{
    {"诺基亚", "iconNokia.png", QT_TRANSLATE_NOOP("ClientLook", "诺基亚")},
    {"惠普", "iconHp.png", QT_TRANSLATE_NOOP("ClientLook", "惠普")},
    {"三星", "iconSamSung.png", QT_TRANSLATE_NOOP("ClientLook", "三星")},
    {"联想", "iconLenovo.png", QT_TRANSLATE_NOOP("ClientLook", "联想")},
    {"lg", "iconLG.png", QT_TRANSLATE_NOOP("ClientLook", "LG")},  // any case
    {"戴尔", "iconDell.png", QT_TRANSLATE_NOOP("ClientLook", "戴尔")},
    {"酷派", "iconCoPad.png", QT_TRANSLATE_NOOP("ClientLook", "酷派")},
    {"华为", "iconHuaWei.png", QT_TRANSLATE_NOOP("ClientLook", "华为")},
    {"小米", "iconMi.png", QT_TRANSLATE_NOOP("ClientLook", "小米")},
    {"技嘉", "iconJiJia.png", QT_TRANSLATE_NOOP("ClientLook", "技嘉")},
}};

bool Has(const QString& text, const char* what, Qt::CaseSensitivity cs = Qt::CaseSensitive) {
    return text.contains(QString::fromUtf8(what), cs);
}

ClientLook ByRecord(const ClientInfo& client) {
    const QString maker = QString::fromStdWString(client.manufactory);
    const QString host = QString::fromStdWString(client.name);
    const QString type = QString::fromStdWString(client.type);
    if (!maker.isEmpty()) {
        if (Has(maker, "iphone", Qt::CaseInsensitive) || Has(maker, "ipad", Qt::CaseInsensitive) ||
            Has(maker, "imac", Qt::CaseInsensitive) || Has(maker, "苹果"))
            return {kImages + "iconApple.png", maker};
        for (const MakerRule& rule : kMakers) {
            const bool anyCase = std::string_view(rule.contains) == "lg";
            if (Has(maker, rule.contains, anyCase ? Qt::CaseInsensitive : Qt::CaseSensitive))
                return {kImages + rule.icon, QCoreApplication::translate("ClientLook", rule.name)};
        }
        return {kImages + "iconPhone.png", maker};
    }
    if (!host.isEmpty()) {
        if (Has(host, "android", Qt::CaseInsensitive))
            return {kImages + "iconAndriod.png", host};
        if (Has(host, "iphone"))
            return {kImages + "iconApple.png", host};
        return {kImages + "iconPhone.png", host};
    }
    if (type.isEmpty())
        return {kImages + "iconPhone.png", QCoreApplication::translate("ClientLook", "手机")};
    if (Has(type, "pc", Qt::CaseInsensitive) || Has(type, "pad", Qt::CaseInsensitive))
        return {kImages + "iconComputer.png", type};
    return {kImages + "iconPhone.png", type};
}

}  // namespace

ClientLook ClientLook::For(const ClientInfo& client) {
    ClientLook look = ByRecord(client);
    if (!client.nickName.empty())
        look.name = QString::fromStdWString(client.nickName);
    return look;
}
