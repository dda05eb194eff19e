// The window's user-interface hooks as a console program has them: the log
// as printed lines, the EEPROM questions answered by an option, and the
// progress window as a bar on a terminal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/context.h"
#include "device/program_ops.h"
#include "link/eeprom_question.h"
#include "link/host.h"

namespace zave::cli {

// A message box's text on one line: line breaks become blanks, trailing ones dropped.
std::string oneLine(std::string_view text);

// Keeps the bar and the printed lines apart when both go to one terminal.
class Console {
public:
    explicit Console(CliContext& ctx) : ctx_(ctx) {}
    void line(std::string_view text);     // to out
    void warning(std::string_view text);  // to err
    void drawBar(int percent);            // only when ctx.progressBar
    void clearBar();

private:
    CliContext& ctx_;
    bool barShown_ = false;
};

// Log lines wait until flush(): a "Clear" of the log drops what has not been
// printed yet (the "Ждите!!!" of a connect), as the window's log forgets it.
class CliLog final : public LogSink {
public:
    CliLog(Console& console, Clock& clock) : console_(console), clock_(clock) {}
    void logLine(std::string_view text, LogMode mode) override;
    void flush();
    // Every line printed so far, stamps included.
    const std::vector<std::string>& printed() const { return printed_; }

private:
    Console& console_;
    Clock& clock_;
    std::vector<std::string> pending_;
    std::vector<std::string> printed_;
};

enum class EepromPolicy { Retry, Skip, Abort };

// "retry", "skip", "abort".
bool parseEepromPolicy(std::string_view text, EepromPolicy& policy);

// Answers the window's message boxes without a keyboard: each is reported
// as a warning; a question gets its "no" (No, or Cancel where it has one).
class CliBoxes final : public MessageBoxes {
public:
    explicit CliBoxes(Console& console) : console_(console) {}
    MessageAnswer show(std::string_view title, std::string_view text, MessageIcon icon,
                       MessageButtons buttons) override;

private:
    Console& console_;
};

// Answers the engine's EEPROM question by the policy: Retry repeats (under
// the retry rule), Skip skips the error of a query (its data reads as 255)
// and breaks the link on a command, which cannot be skipped; Abort breaks
// the link. Every question is reported as a warning with what was answered.
class CliEepromAnswers final : public EepromQuestions {
public:
    CliEepromAnswers(Console& console, EepromPolicy policy) : console_(console), policy_(policy) {}
    EepromAnswer askEepromFault(const EepromFault& fault) override;
    int skippedReplies() const { return skipped_; }
    int eepromReports() const { return reports_; }

private:
    Console& console_;
    EepromPolicy policy_;
    int skipped_ = 0;
    int reports_ = 0;
};

// The progress window: the bar on a terminal, nothing otherwise; the log
// lines written before it opens are printed first. "Стоп" is Ctrl+C.
class CliProgress final : public ProgressUi {
public:
    CliProgress(Console& console, CliLog& log, CliContext& ctx) : console_(console), log_(log), ctx_(ctx) {}
    void openProgressWindow() override;
    void closeProgressWindow() override;
    void setProgress(int value) override;
    bool stopRequested() override;
    bool stopped() const { return stopped_; }

private:
    Console& console_;
    CliLog& log_;
    CliContext& ctx_;
    bool stopped_ = false;
};

}  // namespace zave::cli
