// A progress window for the device-operation tests: records what the
// operation did with it and can press "Стоп" at a chosen check.
#pragma once

#include <functional>
#include <vector>

#include "device/program_ops.h"

namespace zave::testing {

class FakeProgress : public ProgressUi {
public:
    void openProgressWindow() override { ++opened; }
    void closeProgressWindow() override { ++closed; }
    void setProgress(int value) override { values.push_back(value); }
    bool stopRequested() override {
        ++checks;
        if (beforeCheck) beforeCheck(checks);
        return stopAtCheck != 0 && checks == stopAtCheck;
    }

    int stopAtCheck = 0;                       // 1-based number of the check that reports a click
    std::function<void(int check)> beforeCheck;  // runs at every check, before its answer
    int opened = 0;
    int closed = 0;
    int checks = 0;
    std::vector<int> values;
};

}  // namespace zave::testing
