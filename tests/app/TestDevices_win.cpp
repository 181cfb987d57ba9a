// Linked only into OmbrixEmulatorTest.exe, the test build of the program, never into the
// shipped OmbrixEmulator.exe. Before the entry runs it replaces the raw-input calls with
// virtual devices made from the joystick tests' real descriptors, and a thread feeds their
// reports from a script that the end-to-end test writes while the program runs. The script
// is named by OMBRIX_TEST_SCRIPT; without it the test build uses the platform as shipped.
// The program starts with no device; they are numbered in the order they are first plugged in.
//   attach NAME                      the device descriptors/NAME.hid plugged in: the device
//                                    of that name unplugged before comes back (its number
//                                    stays), else a new one is numbered after the others
//   detach N                         device N unplugged
//   at MS device N FIELD=VALUE ...   MS after the previous report, the report of device N
//                                    with the given fields and every other field at rest
// Lines are taken as they are appended; a report sent while the device is not read is lost,
// as a real one would be.
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "JoystickSupport_win.h"

namespace {
struct VirtualDevice {
    const RealDescriptor* descriptor;
    HANDLE handle;
};
std::vector<VirtualDevice> gDevices;  // the feeder's alone

// The fields given as NAME=VALUE; every other one at rest.
std::vector<uint8_t> MakeReport(const RealDescriptor& descriptor, std::istringstream& fields) {
    RealDescriptor::Values values;
    for (std::string given; fields >> given;) {
        const size_t equals = given.find('=');
        if (equals != std::string::npos)
            values.emplace_back(given.substr(0, equals),
                                std::strtoul(given.c_str() + equals + 1, nullptr, 0));
    }
    return descriptor.Report(values);
}

// A device plugged in: the one of that name that was unplugged comes back (under a new
// handle, as the system gives one), else a new one joins the list.
void Plug(const std::string& name) {
    const RealDescriptor& descriptor = Descriptor(name);
    uint16_t page = 0, usage = 0;
    const std::vector<uint8_t> preparsed = descriptor.Preparsed(&page, &usage);
    HANDLE handle =
        FakeRawInput::Instance().Attach(descriptor.vendorId, descriptor.productId, page, usage, preparsed);
    for (VirtualDevice& device : gDevices) {
        if (device.descriptor == &descriptor && device.handle == nullptr) {
            device.handle = handle;
            return;
        }
    }
    gDevices.push_back({&descriptor, handle});
}

void Feed(std::string path) {
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
            in >> word;
            if (word == "attach" && in >> name) {
                Plug(name);
                continue;
            }
            size_t index = 0;
            if (word == "detach" && in >> index && index < gDevices.size()) {
                FakeRawInput::Instance().Detach(gDevices[index].handle);
                gDevices[index].handle = nullptr;
                continue;
            }
            int ms = 0;
            if (word != "at" || !(in >> ms >> name >> index) || index >= gDevices.size())
                continue;
            Sleep(static_cast<DWORD>(ms));
            const VirtualDevice& device = gDevices[index];
            FakeRawInput::Instance().Post(RawInputBytes(device.handle, MakeReport(*device.descriptor, in)));
        }
        Sleep(20);
    }
}

struct TestDevices {
    TestDevices() {
        const char* path = std::getenv("OMBRIX_TEST_SCRIPT");
        if (path == nullptr || path[0] == 0)
            return;
        FakeRawInput::Instance().Install();
        std::thread(Feed, std::string(path)).detach();
    }
};
const TestDevices gTestDevices;
}  // namespace
