// A pseudo-terminal pair for tests of the serial port layer: the slave side
// stands in for the device node, the master side for the device.
#pragma once

#include <string>

namespace zave::testing {

class PtyPair {
public:
    // Opens the master (non-blocking) and, unless told otherwise, keeps one
    // descriptor on the slave so the line stays up while ports come and go.
    explicit PtyPair(bool holdSlave = true);
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    int master() const { return master_; }
    int heldSlave() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }

    // Writes all of text to the master side; false on failure.
    bool sendFromDevice(const std::string& text);
    // Reads from the master until `count` bytes arrived or about `waitMs`
    // milliseconds passed; returns what came.
    std::string receiveAtDevice(size_t count, int waitMs = 2000);
    // Closes the master: the slave side sees the line hang up.
    void closeMaster();
    void closeHeldSlave();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// A temporary folder that stands in for the runtime folder: XDG_RUNTIME_DIR
// points at it while the object lives, so the port-link folder is
// <temp>/zave/ports (created).
class TempRuntimeDir {
public:
    TempRuntimeDir();
    ~TempRuntimeDir();
    TempRuntimeDir(const TempRuntimeDir&) = delete;
    TempRuntimeDir& operator=(const TempRuntimeDir&) = delete;

    const std::string& root() const { return root_; }
    const std::string& linkFolder() const { return links_; }
    // Makes <linkFolder>/<name> a symbolic link to target; false on failure.
    bool link(const std::string& name, const std::string& target);

private:
    std::string root_;
    std::string links_;
    std::string oldValue_;
    bool hadOld_ = false;
};

}  // namespace zave::testing
