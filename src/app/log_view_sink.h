// The exchange log, written into logView.
#pragma once

#include <QPlainTextEdit>

#include "app/text_conversion.h"
#include "link/datemask.h"
#include "link/host.h"

// The exchange log in logView. It keeps its newest kMaxLines lines and drops
// the oldest, so that a port that comes and goes for days fills no memory.
class LogViewSink final : public zave::LogSink {
public:
    static constexpr int kMaxLines = 5000;

    LogViewSink(QPlainTextEdit* view, zave::Clock& clock) : view_(view), clock_(clock) {
        view_->setMaximumBlockCount(kMaxLines);
    }
    void logLine(std::string_view text, zave::LogMode mode) override {
        switch (mode) {
        case zave::LogMode::Clear: view_->clear(); break;
        case zave::LogMode::Plain: view_->appendPlainText(u8(text)); break;
        case zave::LogMode::Stamped: view_->appendPlainText(u8(zave::stampedLogText(clock_.now(), text))); break;
        }
    }

private:
    QPlainTextEdit* view_;
    zave::Clock& clock_;
};
