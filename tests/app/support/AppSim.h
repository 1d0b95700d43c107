// A fresh simulated PC for one GUI test (or the screenshot program): every
// process-wide singleton reset, the program's directory a temporary folder,
// the debugger output captured. Removed again when the object goes.
#pragma once

#include <QImage>
#include <QString>
#include <memory>
#include <string>

#include "TempDir.h"
#include "platform/sim/SimPc.h"

class AppSim {
public:
    AppSim();
    ~AppSim();
    AppSim(const AppSim&) = delete;
    AppSim& operator=(const AppSim&) = delete;

    plat::SimPc& Pc() { return *m_pc; }
    const TempDir& Dir() const { return *m_dir; }
    std::string SettingsFile() const { return m_dir->File("wifi.cfg"); }
    bool DebugHas(const std::string& text) const;

    // The text of the QR code drawn in `image`, as zbarimg reads it; empty
    // when it finds none. `found` tells whether zbarimg is there at all.
    static QString DecodeQr(const QImage& image, bool* found);

private:
    plat::SimPc* m_pc = nullptr;
    std::unique_ptr<TempDir> m_dir;
};
