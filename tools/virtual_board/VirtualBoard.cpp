// virtual_board: the board as a command-line tool, for people who write host software and
// want a board in their automated tests. It answers polls exactly as the Windows program
// does, with the same BoardState and responder loop, on a pseudo-terminal it makes, on a
// serial device or (Windows build) on a COM port, and moves the channels from a script and
// from standard input. Portable: the platform parts are behind Platform.h. Run by users
// and CI jobs, and by the tests in tests/board and the examples.
#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Platform.h"
#include "ShapedIo.h"
#include "TraceWriter.h"
#include "board/ReplyShaper.h"
#include "board/ScenarioRunner.h"
#include "board/ScenarioScript.h"
#include "persistence/SavedValues.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long the end waits for standard output to take the last lines.
constexpr int kOutputDrainMs = 500;

struct Options {
    std::string script;
    std::string trace;
    PortRequest port;
    bool log = false;
    bool stay = false;
    bool ack = false;
    bool pace = false;
    bool seeded = false;
    uint64_t seed = 0;
};

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: virtual_board %s [--script FILE] [--log] [--stay] [--ack] [--seed N]\n"
                 "       [--trace FILE] [--pace]\n"
                 "  Answers the board's polls; prints the host end on its first line.\n"
                 "  --script FILE  run these commands, one a line (set, raw, press, release, wait, ramp,\n"
                 "                 quit, and the faults drop, delay, corrupt, truncate, silence, babble,\n"
                 "                 normal); standard input takes the same commands while it runs\n"
                 "  --log          a line per change of values and the polls answered every second\n"
                 "  --stay         keep answering after standard input ends (until quit or a signal)\n"
                 "  --ack          answer each line of standard input with 'ok N' once it took effect\n"
                 "  --seed N       the faults' random choices repeat those of an earlier run\n"
                 "  --trace FILE   a line per byte from the host and per reply, with its time\n"
                 "  --pace         replies at the speed of the board's 38400 baud line; a host whose\n"
                 "                 end is set otherwise gets no reply it can read\n",
                 PortUsage());
}

// False with *problem naming the argument that is wrong.
bool ParseOptions(int argc, char** argv, Options* options, std::string* problem) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        const bool takesValue = arg == "--script" || arg == "--link" || arg == "--device" ||
                                arg == "--port" || arg == "--seed" || arg == "--tcp" || arg == "--trace";
        if (arg == "--log") {
            options->log = true;
        } else if (arg == "--stay") {
            options->stay = true;
        } else if (arg == "--ack") {
            options->ack = true;
        } else if (arg == "--pace") {
            options->pace = true;
        } else if (!takesValue) {
            *problem = arg.compare(0, 1, "-") == 0 ? "unknown option '" + arg + "'"
                                                   : "unexpected argument '" + arg + "'";
            return false;
        } else if (value == nullptr) {
            *problem = arg + " needs a value";
            return false;
        } else if (arg == "--seed") {
            const std::string digits = argv[++i];
            if (digits.empty() || digits.size() > 19 ||
                digits.find_first_not_of("0123456789") != std::string::npos) {
                *problem = "--seed takes a whole number from 0 to 9999999999999999999, not '" + digits + "'";
                return false;
            }
            options->seed = std::stoull(digits);
            options->seeded = true;
        } else if (arg == "--tcp") {
            // [ADDRESS:]PORT, the port 0 to 65535; the address is checked when it is bound.
            const std::string where = argv[++i];
            const size_t colon = where.rfind(':');
            const std::string digits = colon == std::string::npos ? where : where.substr(colon + 1);
            if (digits.empty() || digits.size() > 5 ||
                digits.find_first_not_of("0123456789") != std::string::npos || std::stoul(digits) > 65535) {
                *problem = "--tcp takes [ADDRESS:]PORT with a port from 0 to 65535, not '" + where + "'";
                return false;
            }
            options->port.tcpPort = static_cast<int>(std::stoul(digits));
            if (colon != std::string::npos)
                options->port.tcpAddress = where.substr(0, colon);
        } else if (arg == "--trace") {
            options->trace = argv[++i];
        } else if (arg == "--script") {
            options->script = argv[++i];
        } else if (arg == "--link") {
            options->port.link = argv[++i];
        } else if (arg == "--device") {
            options->port.device = argv[++i];
        } else {
            // Digits only, 1 to 99999999: anything longer has no COM name.
            const std::string digits = argv[++i];
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of("0123456789") != std::string::npos || std::stoul(digits) == 0) {
                *problem = "--port takes a number from 1 to 99999999, not '" + digits + "'";
                return false;
            }
            options->port.comPort = static_cast<unsigned>(std::stoul(digits));
        }
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot read the script " + path + ": " + std::strerror(errno);
        return false;
    }
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text->append(chunk, n);
    const bool ok = std::ferror(file) == 0;
    if (!ok)
        *error = "cannot read the script " + path + ": " + std::strerror(errno);
    std::fclose(file);
    return ok;
}

// Standard output, written by a thread of its own, so that no other thread ever waits on
// it: a host's CI harness may read the first line and then nothing, and a pipe that
// fills would otherwise stall whoever prints, the stop included. Lines wait in a bounded
// queue; what does not fit is dropped and counted.
class Printer {
  public:
    static constexpr size_t kMaxQueued = 4096;  // lines: 40 s of a ramp's log

    Printer() : thread_([this] { Run(); }) {}
    ~Printer() {
        if (thread_.joinable())
            thread_.join();
    }

    // Any thread; never blocks on the output. A line the queue has no room for is dropped,
    // unless it must get out (the first line, the totals).
    void Print(bool mustGetOut, const char* format, ...) {
        std::string text(256, '\0');
        va_list arguments;
        va_start(arguments, format);
        va_list again;
        va_copy(again, arguments);
        const int length = std::vsnprintf(&text[0], text.size(), format, arguments);
        va_end(arguments);
        if (length >= static_cast<int>(text.size())) {  // a long device path
            text.resize(static_cast<size_t>(length) + 1);
            std::vsnprintf(&text[0], text.size(), format, again);
        }
        va_end(again);
        text.resize(length < 0 ? 0 : static_cast<size_t>(length));
        std::lock_guard<std::mutex> hold(lock_);
        if (!mustGetOut && queued_.size() >= kMaxQueued) {
            ++dropped_;
            return;
        }
        queued_.push_back(std::move(text));
        changed_.notify_all();
    }

    // Main thread, at the end: waits up to timeoutMs for every line to be written. False
    // when output stays blocked; the thread is then left behind, blocked in its write, and
    // the process must end without flushing standard output (_Exit), or the flush would
    // block as well.
    bool Finish(int timeoutMs, uint64_t* dropped) {
        std::unique_lock<std::mutex> hold(lock_);
        closing_ = true;
        changed_.notify_all();
        *dropped = dropped_;
        if (changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [this] { return ended_; }))
            return true;
        thread_.detach();
        return false;
    }

  private:
    void Run() {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            changed_.wait(hold, [this] { return closing_ || !queued_.empty(); });
            if (queued_.empty())
                break;
            const std::string line = std::move(queued_.front());
            queued_.pop_front();
            hold.unlock();
            std::fputs(line.c_str(), stdout);
            std::fflush(stdout);
            hold.lock();
        }
        ended_ = true;
        changed_.notify_all();
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::string> queued_;
    uint64_t dropped_ = 0;
    bool closing_ = false, ended_ = false;
    std::thread thread_;  // last: starts once the rest is set up
};

// What every thread of a run shares; one lock and one condition for all of it. The main
// thread waits for stop signals instead, so whatever may end the run also wakes it. The
// standard-input reader is never joined (a blocking read cannot be cancelled everywhere),
// so it holds this through a shared pointer and touches nothing else.
struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    bool stopping = false;
    int status = 0;
    std::string message;  // why the run failed, for standard error
    bool scriptRunning = false;
    bool responderEnded = false;
    bool readerEnded = false;  // standard input reached its end
    bool inputDone = false;    // ... and every line of it was carried out
    std::deque<std::string> lines;

    // The first reason to stop stands.
    void Stop(int exitStatus, const std::string& why) {
        std::lock_guard<std::mutex> hold(lock);
        if (!stopping) {
            stopping = true;
            status = exitStatus;
            message = why;
        }
        changed.notify_all();
        WakeStopWaiter();
    }
    void Set(bool Shared::*flag, bool value) {
        std::lock_guard<std::mutex> hold(lock);
        this->*flag = value;
        changed.notify_all();
        WakeStopWaiter();
    }
    bool Over(bool stay) {
        std::lock_guard<std::mutex> hold(lock);
        return stopping || (inputDone && !scriptRunning && !stay);
    }
};

// The monotonic clock of the runners; a sleep ends early when the run stops.
class RunClock : public ScenarioClock {
  public:
    RunClock(Shared& shared, Clock::time_point epoch) : shared_(shared), epoch_(epoch) {}
    int64_t NowUs() override {
        return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - epoch_).count();
    }
    bool SleepUntil(int64_t us) override {
        std::unique_lock<std::mutex> hold(shared_.lock);
        return !shared_.changed.wait_until(hold, epoch_ + std::chrono::microseconds(us),
                                           [this] { return shared_.stopping; });
    }

  private:
    Shared& shared_;
    Clock::time_point epoch_;
};

// With --log: the values after each change, in wire order as the reply carries them.
class ValueLog : public ScenarioListener {
  public:
    ValueLog(Printer& printer, Clock::time_point epoch) : printer_(printer), epoch_(epoch) {}
    void ValuesChanged(const BoardState& board) override {
        int32_t v[kChannelCount];
        for (int32_t c = 0; c < kChannelCount; ++c)
            v[c] = board.Value(c);
        printer_.Print(false, "t=%.3f values=%d,%d,%d,%d,%d,%d,%d,%d\n", Seconds(), v[0], v[1], v[2], v[3],
                       v[4], v[5], v[6], v[7]);
    }
    double Seconds() const { return std::chrono::duration<double>(Clock::now() - epoch_).count(); }

  private:
    Printer& printer_;
    Clock::time_point epoch_;
};

// The loop counts a reply it handed to the shaper as answered; those withheld never
// reached the host.
uint64_t Answered(const LineCounters& counters, ShapedIo& io) {
    return counters.pollsAnswered.load(std::memory_order_relaxed) - io.Withheld();
}

// Carries out one command; false when the commands end here: a quit, which ends the run,
// or a stop.
bool RunCommand(ScenarioRunner& runner, const ScenarioCommand& command, Shared& shared, ShapedIo& io) {
    const ScenarioOutcome outcome = runner.Run(command);
    io.Wake();  // a fault may have bytes to send, or a delay changed
    if (outcome == ScenarioOutcome::kQuit)
        shared.Stop(0, "");
    return outcome == ScenarioOutcome::kContinue;
}

void RunScript(const std::vector<ScenarioCommand>& script, ScenarioRunner& runner, Shared& shared,
               ShapedIo& io) {
    runner.StartTimeline();
    for (const ScenarioCommand& command : script) {
        if (!RunCommand(runner, command, shared, io))
            break;
    }
    shared.Set(&Shared::scriptRunning, false);
}

// Splits standard input into lines for the command thread. Detached; see Shared.
void ReadInput(std::shared_ptr<Shared> shared) {
    std::string partial;
    char chunk[1024];
    long n;
    while ((n = ReadStandardInput(chunk, sizeof chunk)) > 0) {
        partial.append(chunk, static_cast<size_t>(n));
        size_t end;
        std::lock_guard<std::mutex> hold(shared->lock);
        while ((end = partial.find('\n')) != std::string::npos) {
            shared->lines.push_back(partial.substr(0, end));
            partial.erase(0, end + 1);
        }
        shared->changed.notify_all();
    }
    std::lock_guard<std::mutex> hold(shared->lock);
    if (!partial.empty())
        shared->lines.push_back(partial);
    shared->readerEnded = true;
    shared->changed.notify_all();
}

// Carries out standard input's commands as they come; a bad line is refused and changes
// nothing. With ack, each line is answered on standard output once it took effect, so
// that a test never polls before its change is in.
void RunInput(ScenarioRunner& runner, Shared& shared, ShapedIo& io, Printer* ack) {
    int32_t line = 0;
    for (;;) {
        std::string text;
        {
            std::unique_lock<std::mutex> hold(shared.lock);
            shared.changed.wait(
                hold, [&] { return shared.stopping || !shared.lines.empty() || shared.readerEnded; });
            if (shared.stopping)
                return;
            if (shared.lines.empty())
                break;
            text = std::move(shared.lines.front());
            shared.lines.pop_front();
        }
        ScenarioCommand command;
        std::string problem;
        const LineKind kind = ParseScenarioLine(text, ++line, &command, &problem);
        if (kind == LineKind::kError) {
            std::fprintf(stderr, "virtual_board: <stdin>:%d: %s\n", line, problem.c_str());
            if (ack != nullptr)
                ack->Print(true, "<stdin>:%d: %s\n", line, problem.c_str());
            continue;
        }
        bool more = true;
        if (kind == LineKind::kCommand) {
            runner.CatchUp();
            more = RunCommand(runner, command, shared, io);
        }
        if (ack != nullptr)
            ack->Print(true, "ok %d\n", line);
        if (!more)
            return;
    }
    shared.Set(&Shared::inputDone, true);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage(stdout);
        return 0;
    }
    std::string problem;
    if (!ParseOptions(argc, argv, &options, &problem)) {
        std::fprintf(stderr, "virtual_board: %s\n", problem.c_str());
        Usage(stderr);
        return 2;
    }
    // The whole script is checked before anything opens: a typing error leaves no port.
    std::vector<ScenarioCommand> script;
    if (!options.script.empty()) {
        std::string text, error;
        if (!ReadWholeFile(options.script, &text, &error) ||
            !ParseScenario(text, options.script, &script, &error)) {
            std::fprintf(stderr, "virtual_board: %s\n", error.c_str());
            return 2;
        }
    }

    // The values of a fresh window, from the same defaults the window starts with.
    BoardState board;
    ApplySavedValues(DefaultSavedValues(), board);

    InstallStopHandlers();  // before the link exists and before any thread: they inherit it
    if (options.pace)
        SharpenTimers();
    // After the handlers: the trace's writer thread must inherit the blocked signals.
    std::unique_ptr<TraceWriter> trace;
    if (!options.trace.empty()) {
        std::string problem;
        trace = TraceWriter::Open(options.trace, &problem);
        if (!trace) {
            std::fprintf(stderr, "virtual_board: %s\n", problem.c_str());
            return 2;
        }
    }
    std::string error;
    std::unique_ptr<BoardPort> port = OpenBoardPort(options.port, &error);
    if (!port) {
        std::fprintf(stderr, "virtual_board: %s\n", error.c_str());
        return 2;
    }
    Printer printer;
    printer.Print(true, "%s\n", port->HostEnd().c_str());
    // The seed comes next, so that a failing run can be replayed with its faults.
    if (!options.seeded)
        options.seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    printer.Print(true, "seed=%llu\n", static_cast<unsigned long long>(options.seed));

    const Clock::time_point epoch = Clock::now();
    auto shared = std::make_shared<Shared>();
    shared->scriptRunning = !script.empty();
    RunClock clock(*shared, epoch);
    ValueLog log(printer, epoch);
    ScenarioListener* listener = options.log ? &log : nullptr;
    if (listener != nullptr)
        log.ValuesChanged(board);

    LineCounters counters;  // the responder's; the log and the totals read them
    ReplyShaper shaper(options.seed);
    ShapedIo shapedIo(*port, shaper, clock, trace.get(), options.pace);
    board.running = 1;
    std::thread responder([&] {
        const HResult outcome = RunResponder(board, shapedIo, &counters);
        if (Failed(outcome))
            shared->Stop(2, port->HostEnd() + " stopped working: " + SystemErrorText(outcome));
        shared->Set(&Shared::responderEnded, true);
    });
    ScenarioRunner scriptRunner(board, clock, listener, &shaper);
    std::thread scriptThread([&] { RunScript(script, scriptRunner, *shared, shapedIo); });
    ScenarioRunner inputRunner(board, clock, listener, &shaper);
    std::thread(ReadInput, shared).detach();
    std::thread inputThread(
        [&] { RunInput(inputRunner, *shared, shapedIo, options.ack ? &printer : nullptr); });

    // Nothing here wakes up on its own but for the log's second.
    uint64_t loggedPolls = 0;
    Clock::time_point nextLog = epoch + std::chrono::seconds(1);
    while (!shared->Over(options.stay)) {
        int timeoutMs = -1;
        if (options.log) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(nextLog - Clock::now()).count();
            timeoutMs = left < 0 ? 0 : static_cast<int>(left);
        }
        if (WaitForStopRequest(timeoutMs))
            shared->Stop(0, "");
        if (options.log && Clock::now() >= nextLog) {
            const uint64_t polls = Answered(counters, shapedIo);
            printer.Print(false, "t=%.3f polls_answered=%llu last_second=%llu\n", log.Seconds(),
                          static_cast<unsigned long long>(polls),
                          static_cast<unsigned long long>(polls - loggedPolls));
            loggedPolls = polls;
            nextLog += std::chrono::seconds(1);
        }
    }

    // A stop as the window makes it: the responder ends at its next read.
    shared->Stop(0, "");
    board.generation = board.generation + 1;
    board.running = 0;
    for (;;) {
        port->Interrupt();
        std::unique_lock<std::mutex> hold(shared->lock);
        if (shared->changed.wait_for(hold, std::chrono::milliseconds(20),
                                     [&] { return shared->responderEnded; }))
            break;
    }
    responder.join();
    scriptThread.join();
    inputThread.join();
    shapedIo.Stop();
    port.reset();
    std::unique_lock<std::mutex> hold(shared->lock);
    if (!shared->message.empty())
        std::fprintf(stderr, "virtual_board: %s\n", shared->message.c_str());
    shaper.DiscardQueued();
    const ShaperTotals faults = shaper.Totals();
    // The faults first: the totals stay the last line, where scripts look for them.
    printer.Print(
        true,
        "dropped=%llu silenced=%llu delayed=%llu corrupted=%llu cut=%llu babbled=%llu "
        "host_line_unanswered=%llu\n",
        static_cast<unsigned long long>(faults.dropped), static_cast<unsigned long long>(faults.silenced),
        static_cast<unsigned long long>(faults.delayed), static_cast<unsigned long long>(faults.corrupted),
        static_cast<unsigned long long>(faults.cut), static_cast<unsigned long long>(faults.babbled),
        static_cast<unsigned long long>(shapedIo.HostLineUnanswered()));
    if (!shapedIo.WrongHostLine().empty())
        printer.Print(true, "host line %s, board %s\n", shapedIo.WrongHostLine().c_str(), kBoardLine);
    printer.Print(true, "polls_answered=%llu other_bytes_ignored=%llu replies_lost=%llu\n",
                  static_cast<unsigned long long>(Answered(counters, shapedIo)),
                  static_cast<unsigned long long>(counters.otherBytes.load()),
                  static_cast<unsigned long long>(counters.repliesLost.load() + shapedIo.LostLater()));
    // A reader that is there takes the rest at once; one that is not must not hold the end.
    uint64_t dropped = 0;
    const bool written = printer.Finish(kOutputDrainMs, &dropped);
    if (dropped != 0 || !written)
        std::fprintf(stderr, "virtual_board: standard output was not read: %llu log line(s) dropped%s\n",
                     static_cast<unsigned long long>(dropped), written ? "" : ", the totals not written");
    StopCompleted();
    if (!written)
        std::_Exit(shared->status);
    return shared->status;
}
