// Linked only into OmbrixEmulatorTest.exe, the test build of the program, never into the
// shipped OmbrixEmulator.exe. Before the entry runs it replaces the raw-input calls with
// virtual devices made from the joystick tests' real descriptors, and a thread feeds their
// reports from a script that the end-to-end test writes while the program runs. The script
// is named by OMBRIX_TEST_SCRIPT; without it the test build uses the platform as shipped.
// The program starts with no device; each is named after its descriptor.
//   attach NAME                 the device descriptors/NAME.hid plugged in (again)
//   detach NAME                 the device unplugged
//   at MS NAME FIELD=VALUE ...  MS after the previous report, the report of the device with
//                               the given fields and every other field at rest
// Lines are taken as they are appended; a report sent while the device is not read is lost,
// as a real one would be. A descriptor missing or refused by the parser is named on standard
// error, where the session looks for it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>

#include "JoystickSupport_win.h"

namespace {

// The parser's view of each descriptor (usage page, usage, preparsed data), worked out before
// the entry runs, so that the feeder only plugs devices in and never loads the parser into
// a running program. Fixed before the feeder starts.
std::map<std::string, std::tuple<uint16_t, uint16_t, std::vector<uint8_t>>> gParsed;

void Feed(std::string path) {
    std::map<std::string, HANDLE> handles;  // each plug gives a new handle, as the system does
    FakeRawInput& raw = FakeRawInput::Instance();
    std::streamoff done = 0;
    for (;;) {
        std::ifstream script(path, std::ios::binary);
        script.seekg(done);
        std::string line;
        // Only whole lines: the test may be half-way through writing the next one.
        while (std::getline(script, line) && !script.eof()) {
            done = script.tellg();
            std::istringstream in(line);
            std::string word, name;
            int ms = 0;
            if (!(in >> word) || (word == "at" && !(in >> ms)) || !(in >> name) || gParsed.count(name) == 0)
                continue;
            const RealDescriptor& descriptor = Descriptor(name);
            if (word == "attach") {
                const auto& [page, usage, preparsed] = gParsed[name];
                handles[name] = raw.Attach(descriptor.vendorId, descriptor.productId, page, usage, preparsed);
            } else if (word == "detach") {
                raw.Detach(handles[name]);
            } else if (word == "at") {
                RealDescriptor::Values values;  // the fields given as NAME=VALUE
                for (std::string field; in >> field;) {
                    const size_t equals = field.find('=');
                    if (equals != std::string::npos)
                        values.emplace_back(field.substr(0, equals),
                                            std::strtoul(&field[equals + 1], nullptr, 0));
                }
                Sleep(static_cast<DWORD>(ms));
                raw.Post(RawInputBytes(handles[name], descriptor.Report(values)));
            }
        }
        Sleep(20);
    }
}

const bool gTestDevices = [] {
    const char* path = std::getenv("OMBRIX_TEST_SCRIPT");
    if (path == nullptr || path[0] == 0)
        return false;
    FakeRawInput::Instance().Install();
    std::fprintf(stderr, "test build: devices from %s\n", path);
    for (const char* name : {"flight_stick", "gamepad12", "signed_pad", "two_sliders", "wireless_pad"}) {
        const RealDescriptor& descriptor = Descriptor(name);
        auto& [page, usage, preparsed] = gParsed[name];
        preparsed = descriptor.Preparsed(&page, &usage);
        if (descriptor.bytes.empty() || preparsed.empty())
            std::fprintf(stderr, "test devices: no descriptor %s, or the parser refused it\n", name);
    }
    std::fflush(stderr);
    std::thread(Feed, std::string(path)).detach();
    return true;
}();

}  // namespace
