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
// as a real one would be. What keeps a device from being plugged in goes to standard error
// as "test devices: ...", where the session looks for it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "JoystickSupport_win.h"

namespace {

void Problem(const std::string& what) {
    std::fprintf(stderr, "test devices: %s\n", what.c_str());
    std::fflush(stderr);
}

// What the system's parser makes of each descriptor, worked out before the entry runs, so
// that the feeder only plugs devices in and never loads the parser into a running program.
struct Prepared {
    const RealDescriptor* descriptor;
    uint16_t page = 0, usage = 0;
    std::vector<uint8_t> preparsed;
};
std::map<std::string, Prepared> gPrepared;  // fixed before the feeder starts

void Feed(std::string path) {
    std::map<std::string, HANDLE> handles;  // each plug gives a new handle, as the system does
    FakeRawInput& raw = FakeRawInput::Instance();
    std::streamoff done = 0;
    for (bool told = false;; Sleep(20)) {
        std::ifstream script(path, std::ios::binary);
        if (!script && !told)
            Problem("cannot open the script " + path);
        told = told || !script;
        script.seekg(done);
        std::string line;
        // Only whole lines: the test may be half-way through writing the next one.
        while (std::getline(script, line) && !script.eof()) {
            done = script.tellg();
            std::istringstream in(line);
            std::string word, name;
            int ms = 0;
            if (!(in >> word) || (word == "at" && !(in >> ms)) || !(in >> name))
                continue;
            const auto device = gPrepared.find(name);
            if (device == gPrepared.end()) {
                Problem("no device " + name);
                continue;
            }
            const Prepared& prepared = device->second;
            const RealDescriptor& descriptor = *prepared.descriptor;
            if (word == "attach") {
                if (ReaderWindow() == nullptr)
                    Problem("no reader window to tell of " + name);
                handles[name] = raw.Attach(descriptor.vendorId, descriptor.productId, prepared.page,
                                           prepared.usage, prepared.preparsed);
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
    }
}

const bool gTestDevices = [] {
    const char* path = std::getenv("OMBRIX_TEST_SCRIPT");
    if (path == nullptr || path[0] == 0)
        return false;
    FakeRawInput::Instance().Install();
    std::fprintf(stderr, "test build: devices from %s\n", path);
    std::fflush(stderr);
    for (const char* name : {"flight_stick", "gamepad12", "signed_pad", "two_sliders", "wireless_pad"}) {
        Prepared& prepared = gPrepared[name];
        prepared.descriptor = &Descriptor(name);
        prepared.preparsed = prepared.descriptor->Preparsed(&prepared.page, &prepared.usage);
        if (prepared.preparsed.empty())
            Problem(std::string("no preparsed data for ") + name +
                    (prepared.descriptor->bytes.empty() ? ": no descriptor" : ""));
    }
    std::thread(Feed, std::string(path)).detach();
    return true;
}();

}  // namespace
