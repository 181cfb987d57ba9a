// The fault decisions of the virtual board, per poll, for its responder thread; the
// commands come from its script and standard-input threads.
#include "board/ReplyShaper.h"

#include <cstring>

uint64_t ReplyShaper::Next() {
    uint64_t z = (random_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void ReplyShaper::Apply(const ScenarioCommand& command, int64_t nowUs) {
    std::lock_guard<std::mutex> hold(lock_);
    shaping_.store(true, std::memory_order_release);
    switch (command.verb) {
        case ScenarioVerb::kDrop:
            dropNext_ = command.value;
            break;
        case ScenarioVerb::kDropShare:
            dropPerMillion_ = static_cast<uint32_t>(command.value) * 10000u;
            break;
        case ScenarioVerb::kDelay:
            delayUs_ = command.durationUs;
            jitterUs_ = command.jitterUs;
            break;
        case ScenarioVerb::kCorrupt:
            corruptNext_ = command.value;
            break;
        case ScenarioVerb::kTruncate:
            cutNext_ = command.value;
            cutLength_ = command.target;
            break;
        case ScenarioVerb::kSilence:
            // As when the board is unplugged: what was on its way is lost with it.
            totals_.silenced += queue_.size();
            queue_.clear();
            frontStartUs_ = -1;
            frontSent_ = 0;
            babblePending_ = 0;
            silentUntilUs_ = nowUs + command.durationUs;
            break;
        case ScenarioVerb::kBabble:
            babblePending_ += static_cast<uint64_t>(command.value);
            break;
        case ScenarioVerb::kNormal:
            // Replies already delayed stay on their way, in order.
            dropNext_ = corruptNext_ = cutNext_ = 0;
            dropPerMillion_ = 0;
            delayUs_ = jitterUs_ = 0;
            silentUntilUs_ = INT64_MIN;
            babblePending_ = 0;
            break;
        default:
            break;
    }
}

ReplyFate ReplyShaper::Shape(const uint8_t* reply, int64_t nowUs) {
    polls_.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard<std::mutex> hold(lock_);
    if (nowUs < silentUntilUs_) {
        ++totals_.silenced;
        return ReplyFate::kSilenced;
    }
    if (dropNext_ > 0) {
        --dropNext_;
        ++totals_.dropped;
        return ReplyFate::kDropped;
    }
    // The generator is drawn only while a share is set, so that a script's other faults
    // fall on the same polls whatever share came before them.
    if (dropPerMillion_ > 0 && Below(1000000) < dropPerMillion_) {
        ++totals_.dropped;
        return ReplyFate::kDropped;
    }
    if (queue_.size() >= kMaxQueuedReplies) {
        ++totals_.dropped;
        return ReplyFate::kDropped;
    }
    Queued q;
    std::memcpy(q.bytes, reply, kReplyLength);
    q.length = kReplyLength;
    q.fate = ReplyFate::kSent;
    if (cutNext_ > 0) {
        --cutNext_;
        q.length = static_cast<uint8_t>(cutLength_);
        q.fate = ReplyFate::kCut;
        ++totals_.cut;
    } else if (corruptNext_ > 0) {
        --corruptNext_;
        // Another byte than last time. Every byte of a reply has its top bit fixed (set
        // on the header and on a channel's first byte, clear on its second), so flipping
        // it never leaves a valid reply, and a host's framing check sees it.
        int64_t at = static_cast<int64_t>(Below(kReplyLength - 1));
        if (at >= lastCorrupted_ && lastCorrupted_ >= 0)
            ++at;
        lastCorrupted_ = at;
        q.bytes[at] ^= 0x80;
        q.fate = ReplyFate::kCorrupted;
        ++totals_.corrupted;
    }
    int64_t due = nowUs;
    if (delayUs_ > 0 || jitterUs_ > 0) {
        due += delayUs_;
        if (jitterUs_ > 0)
            due += static_cast<int64_t>(Below(static_cast<uint64_t>(2 * jitterUs_ + 1))) - jitterUs_;
        if (q.fate == ReplyFate::kSent) {
            q.fate = ReplyFate::kDelayed;
        }
        ++totals_.delayed;
    }
    q.dueUs = due;
    queue_.push_back(q);
    return q.fate;
}

bool ReplyShaper::TakeDue(int64_t nowUs, OutgoingBytes* out) {
    std::lock_guard<std::mutex> hold(lock_);
    // Replies keep the polls' order: one that a shorter jitter made due first waits for
    // those ahead of it.
    if (!queue_.empty() && queue_.front().dueUs <= nowUs && byteUs_ > 0) {
        const Queued& q = queue_.front();
        if (frontStartUs_ < 0)
            frontStartUs_ = q.dueUs > lineFreeUs_ ? q.dueUs : lineFreeUs_;
        const int64_t done = (nowUs - frontStartUs_) / byteUs_;
        const uint32_t upTo = done < 0 ? 0 : done > q.length ? q.length : static_cast<uint32_t>(done);
        if (upTo <= frontSent_ && q.length > 0)
            return false;  // the line is busy with the bytes before
        out->length = upTo - frontSent_;
        std::memcpy(out->bytes, q.bytes + frontSent_, out->length);
        out->fate = q.fate;
        frontSent_ = upTo;
        if (frontSent_ == q.length) {
            lineFreeUs_ = frontStartUs_ + q.length * byteUs_;
            frontStartUs_ = -1;
            frontSent_ = 0;
            queue_.pop_front();
        }
        return true;
    }
    if (!queue_.empty() && queue_.front().dueUs <= nowUs) {
        const Queued& q = queue_.front();
        std::memcpy(out->bytes, q.bytes, q.length);
        out->length = q.length;
        out->fate = q.fate;
        queue_.pop_front();
        return true;
    }
    if (babblePending_ == 0 || nowUs < silentUntilUs_)
        return false;
    // Never the header's first byte, so that no reply can seem to start inside it.
    const uint32_t length =
        babblePending_ < kBabbleChunk ? static_cast<uint32_t>(babblePending_) : kBabbleChunk;
    for (uint32_t i = 0; i < length; ++i) {
        uint8_t b = static_cast<uint8_t>(Next());
        out->bytes[i] = b == kFirmwareHeader[0] ? static_cast<uint8_t>(b + 1) : b;
    }
    out->length = length;
    out->fate = ReplyFate::kBabble;
    babblePending_ -= length;
    totals_.babbled += length;
    return true;
}

int64_t ReplyShaper::NextDueUs() {
    std::lock_guard<std::mutex> hold(lock_);
    int64_t due = queue_.empty() ? INT64_MAX : queue_.front().dueUs;
    if (!queue_.empty() && byteUs_ > 0) {
        const int64_t start = frontStartUs_ >= 0 ? frontStartUs_ : (due > lineFreeUs_ ? due : lineFreeUs_);
        due = start + (frontSent_ + 1) * byteUs_;
    }
    if (babblePending_ > 0) {
        const int64_t babbleAt = silentUntilUs_ == INT64_MIN ? 0 : silentUntilUs_;
        if (babbleAt < due)
            due = babbleAt;
    }
    return due;
}

void ReplyShaper::DiscardQueued() {
    std::lock_guard<std::mutex> hold(lock_);
    totals_.dropped += queue_.size();
    queue_.clear();
}

ShaperTotals ReplyShaper::Totals() {
    std::lock_guard<std::mutex> hold(lock_);
    return totals_;
}
