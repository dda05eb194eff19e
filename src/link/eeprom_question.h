// The question the engine asks when the device reports a damaged EEPROM:
// which memory, and whether the frame was a query or a command. A front end
// answers it (the window with a message box, zavectl with an option).
#pragma once

namespace zave {

// The memory the device names in its reply: "os" the microcontroller's
// own, "ol" the external one.
enum class EepromChip { Microcontroller, External };

struct EepromFault {
    EepromChip chip = EepromChip::Microcontroller;
    // A query may skip the error (its data then reads as 255); a command may not.
    bool query = false;
    friend bool operator==(const EepromFault&, const EepromFault&) = default;
};

enum class EepromAnswer {
    Retry,   // repeat the frame (under the retry rule)
    Skip,    // a query: go on as if accepted; a command: the same as GiveUp
    GiveUp,  // break the link
};

class EepromQuestions {
public:
    virtual ~EepromQuestions() = default;
    virtual EepromAnswer askEepromFault(const EepromFault& fault) = 0;
};

}  // namespace zave
