#include "WfssCommand.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QVariant>
#include <cstring>

namespace {

// A member as text: strings as they are, numbers and truth values written
// out (phones send the seconds of a shutdown either way), anything else
// empty.
QString Text(const QJsonValue& value) {
    if (value.isString())
        return value.toString();
    if (value.isDouble() || value.isBool())
        return value.toVariant().toString();
    return {};
}

}  // namespace

WfssCommand WfssCommand::Decode(const char* body, std::size_t length) {
    WfssCommand c;
    if (length == 0)
        return c;
    std::size_t size = length - 1;
    if (const void* nul = std::memchr(body, 0, size))
        size = static_cast<const char*>(nul) - body;
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(body, static_cast<qsizetype>(size)), &error);
    if (error.error != QJsonParseError::NoError)
        return c;
    c.parsed = true;
    const QJsonObject object = doc.object();
    c.command = Text(object.value(QStringLiteral("command")));
    c.data = Text(object.value(QStringLiteral("data")));
    if (c.command == QStringLiteral("shutdown") && c.data == QStringLiteral("0")) {
        // Acknowledged and dropped: a shutdown after no time is no request.
        c.status = kAccepted;
    } else if (c.command.isEmpty()) {
        c.status = kNoCommand;
    } else {
        c.status = kAccepted;
        c.passOn = true;
    }
    return c;
}
