#include "device/eeprom_question_box.h"

namespace zave {

namespace {

constexpr std::string_view kTitle = "Внимание!";
constexpr std::string_view kCommandChoices = "Для повтора операции нажмите “ДА”\nДля разрыва связи нажмите “НЕТ”\n";
constexpr std::string_view kQueryChoices =
    "Повтор операции, нажмите “ДА”\nПропустить ошибку, нажмите “НЕТ”\nРазрыв связи, нажмите “ОТМЕНА”\n";

}  // namespace

std::string_view eepromFaultHeadline(EepromChip chip) {
    return chip == EepromChip::Microcontroller ? "Повреждена EEPROM микроконтроллера" : "Повреждена EEPROM внешняя";
}

std::string eepromQuestionText(const EepromFault& fault) {
    std::string text(eepromFaultHeadline(fault.chip));
    text += '\n';
    text += fault.query ? kQueryChoices : kCommandChoices;
    return text;
}

EepromAnswer EepromQuestionBox::askEepromFault(const EepromFault& fault) {
    const MessageAnswer answer = boxes_.show(kTitle, eepromQuestionText(fault), MessageIcon::Error,
                                             fault.query ? MessageButtons::YesNoCancel : MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes) return EepromAnswer::Retry;
    if (fault.query && answer == MessageAnswer::No) return EepromAnswer::Skip;
    // "НЕТ" of a command, "ОТМЕНА", or the box closed otherwise.
    return EepromAnswer::GiveUp;
}

}  // namespace zave
