// A test fixture that runs the device simulator zave-devsim on a
// pseudo-terminal so that a test can talk to it through the real serial
// layer, like the tool talks to a device.
//
//   zave::testing::DevSim sim({"--fail-first", "2"});
//   ASSERT_TRUE(sim.running()) << sim.error();
//   auto port = zave::makeSystemSerialPort();
//   ASSERT_TRUE(port->open(sim.portName()));          // "COM200"
//   ... exchanges ...
//   EXPECT_TRUE(sim.waitForReceived(1, "80"));        // one status frame seen
//
// Each fixture makes a fresh temporary runtime folder and points
// XDG_RUNTIME_DIR of the test process at it while it lives, so port names
// resolve through its own port-link folder and parallel test processes never
// share a port. Only one DevSim should live at a time in a process. The
// destructor stops the simulator, restores XDG_RUNTIME_DIR and removes the
// folder.
//
// The simulator's trace (one line per frame received, "rx <frame>", and per
// answer sent, "tx <answer>", see zave-devsim --help) is collected by a
// background thread. Every accessor first takes in whatever the simulator has
// already written, and the simulator writes a frame's "rx" line before it
// answers, so once an exchange has its answer receivedFrames() counts that
// frame. A "tx" line is written just after the answer went out: wait for it
// with waitForSent (bounded waits, not timing checks).
#pragma once

#include <chrono>
#include <csignal>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace zave::testing {

class DevSim {
public:
    // Starts the simulator with the given options (see zave-devsim --help).
    explicit DevSim(std::vector<std::string> args = {});
    ~DevSim();
    DevSim(const DevSim&) = delete;
    DevSim& operator=(const DevSim&) = delete;

    // True once the simulator announced its port; error() says why not.
    bool running() const;
    const std::string& error() const { return error_; }

    // The port name to open ("COM200" unless --port was given) and the
    // pseudo-terminal behind it.
    const std::string& portName() const { return portName_; }
    const std::string& slavePath() const { return slavePath_; }
    // The runtime folder and the port link the simulator made in it.
    const std::string& runtimeDir() const { return runtimeDir_; }
    std::string linkPath() const;

    // Trace lines of the current run (the "port ..." line excluded).
    std::vector<std::string> traceLines() const;
    // Frames received so far ("rx" lines); with a code, only frames that
    // begin with it ("80", "04", ...).
    int receivedFrames(std::string_view code = {}) const;
    // Answers sent so far ("tx" lines).
    int sentAnswers() const;

    // Wait until at least `count` frames (with that code) were received, or
    // until a line for which `match` is true was traced; false on time-out.
    bool waitForReceived(int count, std::string_view code = {},
                         std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) const;
    bool waitForSent(int count, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) const;
    bool waitForLine(const std::function<bool(const std::string&)>& match,
                     std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) const;
    // Until every frame received so far has been answered or dropped ("tx",
    // "tx-failed" or "dropped" for each "rx"): the line has fallen quiet.
    bool waitUntilAllAnswered(std::chrono::milliseconds limit = std::chrono::milliseconds(30000)) const;

    // SIGKILL: the simulator dies at once, the pseudo-terminal hangs up and
    // its link is left behind pointing at nothing.
    void kill();
    // SIGTERM (or the given signal, e.g. SIGINT) and wait: the simulator
    // ends cleanly and removes its link. Returns the wait status (-1 if it
    // was not running).
    int stop(int signal = SIGTERM);
    // Stops the current run and starts a new one with other options in the
    // same runtime folder; the trace starts afresh. False if it did not start.
    bool restart(std::vector<std::string> args);
    // Process id of the current run (-1 when none).
    pid_t pid() const { return pid_; }

private:
    bool start(std::vector<std::string> args);
    void endRun(int sig);
    void readTrace();
    // Reads and files whatever is waiting in the trace pipe; mutex_ held.
    // Only the reader thread may close the pipe at its end (mayClose); it
    // gets false then.
    bool drainLocked(bool mayClose = false) const;

    std::string runtimeDir_;
    std::string oldRuntime_;
    bool hadOldRuntime_ = false;
    std::string portName_;
    std::string slavePath_;
    std::string error_;
    pid_t pid_ = -1;
    std::thread reader_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    // All below guarded by mutex_.
    mutable int traceFd_ = -1;
    mutable std::string partial_;
    mutable std::vector<std::string> lines_;
    mutable bool announced_ = false;
    mutable bool ended_ = false;
    mutable std::string announcedPort_;
    mutable std::string announcedSlave_;
};

}  // namespace zave::testing
