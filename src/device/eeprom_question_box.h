// The window's answer to a damaged EEPROM: the error box "Внимание!" with
// Yes/No for a command (repeat or break the link) and Yes/No/Cancel for a
// query (repeat, skip the error or break the link).
#pragma once

#include <string>
#include <string_view>

#include "link/eeprom_question.h"
#include "link/host.h"

namespace zave {

// The first line of the box: which memory is damaged.
std::string_view eepromFaultHeadline(EepromChip chip);
// The whole text of the box for `fault`.
std::string eepromQuestionText(const EepromFault& fault);

class EepromQuestionBox final : public EepromQuestions {
public:
    explicit EepromQuestionBox(MessageBoxes& boxes) : boxes_(boxes) {}
    EepromAnswer askEepromFault(const EepromFault& fault) override;

private:
    MessageBoxes& boxes_;
};

}  // namespace zave
