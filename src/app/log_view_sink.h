// The exchange log, written into logView.
#pragma once

#include <QPlainTextEdit>

#include "app/text_conversion.h"
#include "link/datemask.h"
#include "link/host.h"

// The exchange log in logView.
class LogViewSink final : public zave::LogSink {
public:
    LogViewSink(QPlainTextEdit* view, zave::Clock& clock) : view_(view), clock_(clock) {}
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
