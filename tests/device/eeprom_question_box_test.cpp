// The window's box for the engine's EEPROM question: its text, buttons and
// what each way out of it answers.
#include <gtest/gtest.h>

#include "device/eeprom_question_box.h"
#include "support/fakes.h"

namespace zave {
namespace {

using testing::FakeMessageBoxes;

struct BoxCase {
    const char* name;
    EepromFault fault;
    MessageAnswer pressed;
    EepromAnswer expected;
    const char* text;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class EepromQuestionBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(EepromQuestionBoxTest, ShowsTheBoxAndTranslatesTheButton) {
    const BoxCase& c = GetParam();
    FakeMessageBoxes boxes;
    boxes.answers.push_back(c.pressed);
    EepromQuestionBox box(boxes);
    EXPECT_EQ(box.askEepromFault(c.fault), c.expected);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Внимание!");
    EXPECT_EQ(boxes.shown[0].text, c.text);
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(boxes.shown[0].buttons, c.fault.query ? MessageButtons::YesNoCancel : MessageButtons::YesNo);
}

constexpr const char* kCommandInternal =
    "Повреждена EEPROM микроконтроллера\nДля повтора операции нажмите “ДА”\nДля разрыва связи нажмите “НЕТ”\n";
constexpr const char* kCommandExternal =
    "Повреждена EEPROM внешняя\nДля повтора операции нажмите “ДА”\nДля разрыва связи нажмите “НЕТ”\n";
constexpr const char* kQueryInternal =
    "Повреждена EEPROM микроконтроллера\nПовтор операции, нажмите “ДА”\nПропустить ошибку, нажмите “НЕТ”\n"
    "Разрыв связи, нажмите “ОТМЕНА”\n";
constexpr const char* kQueryExternal =
    "Повреждена EEPROM внешняя\nПовтор операции, нажмите “ДА”\nПропустить ошибку, нажмите “НЕТ”\n"
    "Разрыв связи, нажмите “ОТМЕНА”\n";

constexpr EepromChip kInternal = EepromChip::Microcontroller;
constexpr EepromChip kExternal = EepromChip::External;

INSTANTIATE_TEST_SUITE_P(
    Answers, EepromQuestionBoxTest,
    ::testing::Values(
        BoxCase{"CommandInternalYesRetries", {kInternal, false}, MessageAnswer::Yes, EepromAnswer::Retry, kCommandInternal},
        BoxCase{"CommandInternalNoGivesUp", {kInternal, false}, MessageAnswer::No, EepromAnswer::GiveUp, kCommandInternal},
        BoxCase{"CommandExternalYesRetries", {kExternal, false}, MessageAnswer::Yes, EepromAnswer::Retry, kCommandExternal},
        BoxCase{"CommandExternalNoGivesUp", {kExternal, false}, MessageAnswer::No, EepromAnswer::GiveUp, kCommandExternal},
        BoxCase{"QueryInternalYesRetries", {kInternal, true}, MessageAnswer::Yes, EepromAnswer::Retry, kQueryInternal},
        BoxCase{"QueryInternalNoSkips", {kInternal, true}, MessageAnswer::No, EepromAnswer::Skip, kQueryInternal},
        BoxCase{"QueryInternalCancelGivesUp", {kInternal, true}, MessageAnswer::Cancel, EepromAnswer::GiveUp, kQueryInternal},
        BoxCase{"QueryExternalNoSkips", {kExternal, true}, MessageAnswer::No, EepromAnswer::Skip, kQueryExternal},
        BoxCase{"QueryExternalCancelGivesUp", {kExternal, true}, MessageAnswer::Cancel, EepromAnswer::GiveUp, kQueryExternal},
        // A box closed another way (Escape, the title bar's cross) answers Ok.
        BoxCase{"QueryClosedOtherwiseGivesUp", {kExternal, true}, MessageAnswer::Ok, EepromAnswer::GiveUp, kQueryExternal}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zave
