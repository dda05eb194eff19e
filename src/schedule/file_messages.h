// What the operator is told when a document file cannot be read or written.
#pragma once

#include <string>
#include <string_view>

#include "schedule/ptm_codec.h"

namespace zave {

inline constexpr std::string_view kFileErrorTitle = "Ошибка";
inline constexpr std::string_view kFileWriteFailedText = "При записи произошла ошибка.\nФайл сохранить не удалось.\n";

// The message for a refused read; empty for Ok.
std::string_view documentReadMessage(DocumentReadStatus status);
// The message for a failed save: kFileWriteFailedText, and for a symbolic
// link that cannot be saved through a line with the reason; empty for Ok.
std::string documentWriteMessage(DocumentWriteStatus status);

}  // namespace zave
