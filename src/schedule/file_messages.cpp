#include "schedule/file_messages.h"

namespace zave {

std::string_view documentReadMessage(DocumentReadStatus status) {
    switch (status) {
    case DocumentReadStatus::OpenFailed: return "При чтении произошла ошибка.\nФайл открыть не удалось.\n\n";
    case DocumentReadStatus::BadFormat: return "Формат файла не поддерживается";
    case DocumentReadStatus::Ok: break;
    }
    return {};
}

}  // namespace zave
