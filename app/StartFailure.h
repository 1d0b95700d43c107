// What the window says about a start that failed: the status-line text of the
// code, and the cause in plain words (which step failed and what the user can
// do about it).
#pragma once

#include <QCoreApplication>
#include <QString>

class StartFailure {
    Q_DECLARE_TR_FUNCTIONS(StartFailure)

public:
    // The status line: a fixed text for the access point's own codes, else
    // "WiFi开启失败(" + code + ")".
    static QString StatusText(int code);
    // One or two sentences naming the failed step and the remedy.
    static QString Cause(int code);
    // The cause followed by the access point's own account of the failure
    // (empty: the cause alone).
    static QString Cause(int code, const QString& detail);
};
