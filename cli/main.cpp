// Process entry of lumari-hotspot.
#include <cstdio>
#include <string>
#include <vector>

#include "Doctor.h"
#include "HotspotOptions.h"
#include "HotspotOutput.h"
#include "HotspotProgram.h"
#include "HotspotSettings.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    HotspotOptions options;
    std::string error;
    if (!HotspotOptions::Parse(arguments, &options, &error)) {
        std::fprintf(stderr, "lumari-hotspot: %s\n\n%s", error.c_str(),
                     HotspotOptions::Usage().c_str());
        return 2;
    }
    if (options.mode == HotspotOptions::Mode::Help) {
        std::fputs(HotspotOptions::Usage().c_str(), stdout);
        return 0;
    }
    if (options.mode == HotspotOptions::Mode::Doctor) {
        // The start's own choice: the stored interface and one-card mode
        // under those given now.
        HotspotSettings stored = HotspotSettings::Load(options.stateDir + "/Lumari.cfg");
        stored.Apply(options);
        Doctor::Inputs inputs;
        inputs.apInterface = stored.apInterface;
        inputs.oneCard = stored.oneCard;
        if (options.address)
            inputs.address = *options.address;
        const std::vector<DoctorFinding> findings = Doctor::Check(inputs);
        std::fputs(Doctor::Format(findings).c_str(), stdout);
        return Doctor::AnyFailure(findings) ? 1 : 0;
    }
    if (options.mode == HotspotOptions::Mode::Qr)
        return HotspotProgram::PrintJoinCode(options, stdout, stderr);
    HotspotOutput output(stdout, stderr);
    return HotspotProgram(options, output).Run();
}
