#include "app/document_controller.h"


#include "app/text_conversion.h"
#include "schedule/file_messages.h"
#include "schedule/file_name.h"
#include "schedule/ptm_codec.h"

using zave::MessageAnswer;
using zave::MessageButtons;
using zave::MessageIcon;

void DocumentController::newDocument() {
    if (boxes_.show("Создать", "Созданная  программа полностью заменит текущую!\nПродолжить?", MessageIcon::Warning,
                    MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    zave::resetDocument(editor_.document());
    editor_.showDocument();
}

void DocumentController::openDocument() {
    if (boxes_.show("Чтение файла", "Загруженная программа полностью заменит текущую!\nПродолжить?",
                    MessageIcon::Warning, MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    const std::optional<QString> path = files_.openFile();
    if (!path) return;
    const zave::DocumentReadStatus status = zave::readDocumentFile(utf8(*path), editor_.document());
    if (status != zave::DocumentReadStatus::Ok)
        boxes_.show(zave::kFileErrorTitle, zave::documentReadMessage(status), MessageIcon::Warning, MessageButtons::Ok);
    editor_.showDocument();
}

void DocumentController::saveDocument() {
    for (;;) {
        const std::optional<QString> chosen = files_.saveFile();
        if (!chosen) return;
        const std::string path = zave::withDocumentExtension(utf8(*chosen));
        if (zave::documentNameTaken(path)) {  // a dangling link too
            const std::string question = std::string(zave::filePart(path)) + " уже существует.\nЗаменить?";
            if (boxes_.show("Подтвердить сохранение", question, MessageIcon::Warning, MessageButtons::YesNo) !=
                MessageAnswer::Yes)
                continue;
        }
        // The file takes the day shown and the sound settings as the editor holds them.
        const zave::DocumentWriteStatus status = zave::saveDocumentFile(path, editor_.document());
        if (status != zave::DocumentWriteStatus::Ok)
            boxes_.show(zave::kFileErrorTitle, zave::documentWriteMessage(status), MessageIcon::Warning,
                        MessageButtons::Ok);
        return;
    }
}
