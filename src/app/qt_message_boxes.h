// The core's message boxes as modal Qt message boxes.
#pragma once

#include <QPointer>
#include <QWidget>

#include "link/host.h"

// Modal message boxes with Russian button captions whatever the locale.
class QtMessageBoxes final : public zave::MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
    zave::MessageAnswer show(std::string_view title, std::string_view text, zave::MessageIcon icon,
                             zave::MessageButtons buttons) override;

private:
    QPointer<QWidget> parent_;
};
