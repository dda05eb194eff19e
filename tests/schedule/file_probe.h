// A probe for the file layer: counts the steps of a save and the bytes read,
// and fails one chosen step.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "schedule/document_file.h"

namespace zave {

class StepProbe : public FileProbe {
public:
    explicit StepProbe(int failAt = -1) : failAt_(failAt) { setFileProbe(this); }
    ~StepProbe() override { setFileProbe(nullptr); }
    StepProbe(const StepProbe&) = delete;
    StepProbe& operator=(const StepProbe&) = delete;

    // Fails every step of these names, besides the one at failAt.
    std::vector<std::string> failing;

    bool fail(std::string_view step) override {
        steps.emplace_back(step);
        for (const std::string& name : failing)
            if (name == step) return true;
        return static_cast<int>(steps.size()) - 1 == failAt_;
    }
    void read(size_t bytes) override {
        bytesRead += bytes;
        ++reads;
    }
    bool saw(std::string_view step) const {
        for (const std::string& s : steps)
            if (s == step) return true;
        return false;
    }

    std::vector<std::string> steps;
    unsigned long long bytesRead = 0;
    int reads = 0;

private:
    int failAt_;
};

}  // namespace zave
