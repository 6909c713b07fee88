// kalvora-training: the window program with a simulated unit inside it, for training without a unit where no
// pseudo-terminal can carry the simulator (Windows). The unit is served as COM 7 in the process before the main
// window opens, and the whole session uses COM 7 ("COM 7 - simulated unit" in the COM Port Settings list) without
// changing the port in the user's config.ini.

#include "app/KalvoraApp.h"
#include "base/WallClock.h"
#include "link/InProcessPorts.h"
#include "sim/SimOptions.h"
#include "sim/SimulatedUnit.h"
#include "sim/SimulatedUnitPort.h"

#include <chrono>
#include <memory>

namespace {

// The port the simulated unit answers on: the program's default port, so that a trainee finds the setting a new
// installation has.
constexpr int kTrainingPort = 7;

} // namespace

int main(int argc, char** argv) {
    // The unit as kalvora-sim starts without options: program 1 running, its clock the computer's time of day.
    auto unit = std::make_shared<CSimulatedUnit>(SSimOptions{},
                                                 MillisecondsOfDay(LocalTimeOf(std::chrono::system_clock::now())));
    CInProcessPortRegistration port(kTrainingPort, kSimulatedUnitDescription, SimulatedUnitPortFactory(unit));
    CKalvoraApp app(kTrainingPort);
    return app.Run(argc, argv);
}
