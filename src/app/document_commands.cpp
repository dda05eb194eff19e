// The document commands of the main window: New, Open and Save.
#include <QComboBox>
#include <QFileInfo>

#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/text_conversion.h"
#include "schedule/file_messages.h"
#include "schedule/file_name.h"
#include "schedule/ptm_codec.h"

using zave::MessageAnswer;
using zave::MessageButtons;
using zave::MessageIcon;

void MainWindow::newDocument() {
    if (ask("Создать", "Созданная  программа полностью заменит текущую!\nПродолжить?", MessageIcon::Warning,
            MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    zave::resetDocument(doc_);
    showSoundSettings();
    daySelector_->setCurrentIndex(doc_.currentDay - 1);
    refreshEditor();
}

void MainWindow::openDocument() {
    if (ask("Чтение файла", "Загруженная программа полностью заменит текущую!\nПродолжить?", MessageIcon::Warning,
            MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    std::optional<QString> path;
    {
        const auto held = station_->hold();
        path = fileDialogs_->openFile();
    }
    if (!path) return;
    const zave::DocumentReadStatus status = zave::readDocumentFile(utf8(*path), doc_);
    if (status != zave::DocumentReadStatus::Ok)
        ask(zave::kFileErrorTitle, zave::documentReadMessage(status), MessageIcon::Warning, MessageButtons::Ok);
    showSoundSettings();
    daySelector_->setCurrentIndex(doc_.currentDay - 1);
    refreshEditor();
}

void MainWindow::saveDocument() {
    for (;;) {
        std::optional<QString> chosen;
        {
            const auto held = station_->hold();
            chosen = fileDialogs_->saveFile();
        }
        if (!chosen) return;
        const std::string path = zave::withDocumentExtension(utf8(*chosen));
        if (QFileInfo::exists(QString::fromStdString(path))) {
            const std::string question = std::string(zave::filePart(path)) + " уже существует.\nЗаменить?";
            const auto held = station_->hold();
            if (boxes_->show("Подтвердить сохранение", question, MessageIcon::Warning, MessageButtons::YesNo) !=
                MessageAnswer::Yes)
                continue;
        }
        // The file takes the day shown and the sound settings as the controls hold them.
        doc_.currentDay = daySelector_->currentIndex() + 1;
        if (!zave::writeDocumentFile(path, doc_))
            ask(zave::kFileErrorTitle, zave::kFileWriteFailedText, MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
}
