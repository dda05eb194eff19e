// The open-file and save-file dialogs of the document commands.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // "Открыть", files "*.ptm"; nothing when the operator cancels.
    virtual std::optional<QString> openFile() = 0;
    // "Сохранить", files "*.ptm"; asks nothing about an existing file.
    virtual std::optional<QString> saveFile() = 0;
};

class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    std::optional<QString> openFile() override;
    std::optional<QString> saveFile() override;

private:
    QPointer<QWidget> parent_;
};
