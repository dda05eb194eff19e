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

std::string documentWriteMessage(DocumentWriteStatus status) {
    switch (status) {
    case DocumentWriteStatus::Ok: return {};
    case DocumentWriteStatus::Failed: break;
    case DocumentWriteStatus::LinkLoop:
        return std::string(kFileWriteFailedText) + "Символическая ссылка ведёт по кругу.\n";
    case DocumentWriteStatus::LinkToMissingFolder:
        return std::string(kFileWriteFailedText) + "Символическая ссылка указывает на файл в несуществующей папке.\n";
    }
    return std::string(kFileWriteFailedText);
}

}  // namespace zave
