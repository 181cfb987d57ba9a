// The trace of the host's session: the responder's side copies events into a ring, the
// writer thread formats and writes them.
#include "TraceWriter.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {
constexpr uint8_t kPollEvent = 100, kOtherEvent = 101;
// While events flow the writer looks every millisecond; after this many empty looks it
// sleeps until the responder wakes it.
constexpr int kIdleLooks = 50;

const char* KindName(uint8_t kind) {
    switch (kind) {
        case kPollEvent:
            return "poll";
        case kOtherEvent:
            return "other";
        case static_cast<uint8_t>(ReplyFate::kSent):
            return "reply";
        case static_cast<uint8_t>(ReplyFate::kDelayed):
            return "delayed";
        case static_cast<uint8_t>(ReplyFate::kCorrupted):
            return "corrupted";
        case static_cast<uint8_t>(ReplyFate::kCut):
            return "cut";
        case static_cast<uint8_t>(ReplyFate::kBabble):
            return "babble";
        default:
            return "dropped";  // by drop or by a silence
    }
}
}  // namespace

std::unique_ptr<TraceWriter> TraceWriter::Open(const std::string& path, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        *error = "cannot make the trace " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<TraceWriter>(new TraceWriter(file));
}

TraceWriter::TraceWriter(std::FILE* file) : file_(file), ring_(new Event[kRingSize]) {
    writer_ = std::thread([this] { Run(); });
}

TraceWriter::~TraceWriter() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_.store(true, std::memory_order_relaxed);
    }
    wake_.notify_all();
    writer_.join();
    std::fclose(file_);
}

void TraceWriter::Push(uint8_t kind, const uint8_t* bytes, uint32_t length, int64_t nowUs) {
    const uint32_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) >= kRingSize) {
        lost_.store(lost_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        return;
    }
    Event& e = ring_[head % kRingSize];
    e.atUs = nowUs;
    e.kind = kind;
    e.length = static_cast<uint8_t>(length);
    std::memcpy(e.bytes, bytes, length);
    head_.store(head + 1, std::memory_order_seq_cst);
    // Only a sleeping writer costs the responder a wake; the order of the store above and
    // this load (both sequentially consistent) pairs with the writer's, so none is missed.
    if (writerAsleep_.load(std::memory_order_seq_cst)) {
        std::lock_guard<std::mutex> hold(lock_);
        wake_.notify_one();
    }
}

void TraceWriter::Received(uint8_t byte, int64_t nowUs) {
    Push(byte == kPollByte ? kPollEvent : kOtherEvent, &byte, 1, nowUs);
}

void TraceWriter::Sent(ReplyFate fate, const uint8_t* bytes, uint32_t length, int64_t nowUs) {
    Push(static_cast<uint8_t>(fate), bytes, length, nowUs);
}

void TraceWriter::Run() {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    uint64_t reportedLost = 0;
    int idle = 0;
    for (;;) {
        const uint32_t head = head_.load(std::memory_order_acquire);
        uint32_t tail = tail_.load(std::memory_order_relaxed);
        text.clear();
        for (; tail != head; ++tail) {
            const Event& e = ring_[tail % kRingSize];
            const bool in = e.kind == kPollEvent || e.kind == kOtherEvent;
            text += std::to_string(e.atUs);
            text += in ? " in " : " out ";
            if (e.length == 0)
                text += '-';
            for (uint32_t i = 0; i < e.length; ++i) {
                text += kHex[e.bytes[i] >> 4];
                text += kHex[e.bytes[i] & 15];
            }
            text += ' ';
            text += KindName(e.kind);
            text += '\n';
        }
        tail_.store(tail, std::memory_order_release);
        const uint64_t lost = lost_.load(std::memory_order_relaxed);
        if (lost != reportedLost) {
            text +=
                "# " + std::to_string(lost - reportedLost) + " events lost: the trace could not keep up\n";
            reportedLost = lost;
        }
        if (!text.empty()) {
            std::fwrite(text.data(), 1, text.size(), file_);
            std::fflush(file_);  // a killed board keeps what was written
            idle = 0;
        }
        if (stopping_.load(std::memory_order_relaxed) && head_.load(std::memory_order_acquire) == tail)
            return;
        std::unique_lock<std::mutex> hold(lock_);
        if (++idle < kIdleLooks) {
            wake_.wait_for(hold, std::chrono::milliseconds(1));
            continue;
        }
        writerAsleep_.store(true, std::memory_order_seq_cst);
        if (head_.load(std::memory_order_seq_cst) == tail && !stopping_.load(std::memory_order_relaxed))
            wake_.wait_for(hold, std::chrono::seconds(1));
        writerAsleep_.store(false, std::memory_order_relaxed);
        idle = kIdleLooks;  // one event wakes it: look again at once, then doze
    }
}
