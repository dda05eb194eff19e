#include "app/file_dialogs.h"

#include <QFileDialog>

namespace {

const char kFileFilter[] = "Файлы (*.ptm)";

std::optional<QString> chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace

std::optional<QString> QtFileDialogs::openFile() {
    return chosen(QFileDialog::getOpenFileName(parent_.data(), QString::fromUtf8("Открыть"), QString(),
                                               QString::fromUtf8(kFileFilter)));
}

std::optional<QString> QtFileDialogs::saveFile() {
    return chosen(QFileDialog::getSaveFileName(parent_.data(), QString::fromUtf8("Сохранить"), QString(),
                                               QString::fromUtf8(kFileFilter), nullptr,
                                               QFileDialog::DontConfirmOverwrite));
}
