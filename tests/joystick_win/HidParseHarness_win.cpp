// Loads the system's HID report-descriptor parser and copies its output; see the header.
#include "HidParseHarness_win.h"

#include <cstring>

namespace {

// The parser's own records. They are not in the MinGW headers; the layouts are those of the
// driver kit, which Wine's hidparse.sys follows.
struct CollectionDesc {
    USHORT UsagePage;
    USHORT Usage;
    UCHAR CollectionNumber;
    UCHAR Reserved[15];
    USHORT InputLength;
    USHORT OutputLength;
    USHORT FeatureLength;
    USHORT PreparsedDataLength;
    PHIDP_PREPARSED_DATA PreparsedData;
};

struct ReportIds {
    UCHAR ReportID;
    UCHAR CollectionNumber;
    USHORT InputLength;
    USHORT OutputLength;
    USHORT FeatureLength;
};

struct DeviceDesc {
    CollectionDesc* CollectionDesc;
    ULONG CollectionDescLength;
    ReportIds* ReportIDs;
    ULONG ReportIDsLength;
    struct {
        ULONG BreakOffset;
        ULONG ErrorCode;
        ULONG Args[6];
    } Dbg;
};

using GetCollectionDescriptionFn = LONG(WINAPI*)(const UCHAR* descriptor, ULONG length, int poolType,
                                                 DeviceDesc* out);
using FreeCollectionDescriptionFn = void(WINAPI*)(DeviceDesc* description);

struct Parser {
    HMODULE module = nullptr;
    GetCollectionDescriptionFn get = nullptr;
    FreeCollectionDescriptionFn release = nullptr;
};

// Loaded once for the whole test process and never unloaded: the module is tiny and
// loading it again for every test would only slow the run.
const Parser& TheParser() {
    static const Parser parser = [] {
        Parser p;
        p.module = LoadLibraryW(L"C:\\windows\\system32\\drivers\\hidparse.sys");
        if (p.module != nullptr) {
            p.get = reinterpret_cast<GetCollectionDescriptionFn>(
                reinterpret_cast<void*>(GetProcAddress(p.module, "HidP_GetCollectionDescription")));
            p.release = reinterpret_cast<FreeCollectionDescriptionFn>(
                reinterpret_cast<void*>(GetProcAddress(p.module, "HidP_FreeCollectionDescription")));
        }
        return p;
    }();
    return parser;
}

}  // namespace

bool HidParserAvailable() {
    return TheParser().get != nullptr;
}

LONG ParseReportDescriptor(const uint8_t* descriptor, size_t length,
                           std::vector<ParsedCollection>* collections) {
    collections->clear();
    const Parser& parser = TheParser();
    if (parser.get == nullptr)
        return static_cast<LONG>(0xC0000135);  // STATUS_DLL_NOT_FOUND
    DeviceDesc description;
    std::memset(&description, 0, sizeof description);
    // Pool type 1 is the non-paged pool a driver would ask for; in a user process it is the heap.
    LONG status = parser.get(descriptor, static_cast<ULONG>(length), 1, &description);
    // Wine's parser answers HIDP_STATUS_SUCCESS rather than STATUS_SUCCESS; both mean success.
    if (status != 0 && status != HIDP_STATUS_SUCCESS)
        return status;
    for (ULONG i = 0; i < description.CollectionDescLength; ++i) {
        const CollectionDesc& source = description.CollectionDesc[i];
        ParsedCollection collection;
        collection.usagePage = source.UsagePage;
        collection.usage = source.Usage;
        collection.inputLength = source.InputLength;
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(source.PreparsedData);
        collection.preparsed.assign(bytes, bytes + source.PreparsedDataLength);
        collections->push_back(std::move(collection));
    }
    if (parser.release != nullptr)
        parser.release(&description);
    return 0;
}

bool ParseFirstCollection(const uint8_t* descriptor, size_t length, ParsedCollection* out) {
    std::vector<ParsedCollection> collections;
    if (ParseReportDescriptor(descriptor, length, &collections) != 0 || collections.empty())
        return false;
    *out = std::move(collections.front());
    return true;
}

ReportBytes& ReportBytes::Set(unsigned bitOffset, unsigned bitCount, uint32_t value) {
    for (unsigned i = 0; i < bitCount; ++i) {
        unsigned bit = 8 + bitOffset + i;  // after the report-id byte
        if (bit / 8 >= bytes_.size())
            break;
        uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
        if ((value >> i) & 1u) {
            bytes_[bit / 8] |= mask;
        } else {
            bytes_[bit / 8] &= static_cast<uint8_t>(~mask);
        }
    }
    return *this;
}
