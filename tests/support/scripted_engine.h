// An exchange engine on a scripted port, with message boxes that record what
// they were asked: the line of every engine test that needs no real port.
#pragma once

#include <gtest/gtest.h>

#include "device/eeprom_question_box.h"
#include "link/exchange.h"
#include "support/fakes.h"
#include "support/scripted_port.h"

namespace zave::testing {

struct ScriptedEngine {
    ScriptedPort port;
    FakeMessageBoxes boxes;
    EepromQuestionBox eeprom{boxes};
    // Declared last, so that it goes first: the workers it left behind may
    // still be inside the port.
    ExchangeEngine engine{port, eeprom};
};

// One such engine for each test of a suite.
class ScriptedEngineTest : public ::testing::Test, protected ScriptedEngine {};

}  // namespace zave::testing
