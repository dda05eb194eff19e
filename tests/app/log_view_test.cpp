// The exchange log as the operator meets it: Tab leaves it, and a port that
// comes and goes for days does not make it grow without end.
#include <QPlainTextEdit>
#include <QTextBlock>

#include "app/log_view_sink.h"
#include "app_fixture.h"

using namespace apptest;

TEST_F(AppTest, TabAndShiftTabLeaveTheLog) {
    auto* log = find<QPlainTextEdit>("logView");
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (Qt::KeyboardModifier modifier : {Qt::NoModifier, Qt::ShiftModifier}) {
        SCOPED_TRACE(modifier);
        log->setFocus();
        ASSERT_TRUE(log->hasFocus());
        QTest::keyClick(window->windowHandle(), Qt::Key_Tab, modifier);
        EXPECT_FALSE(log->hasFocus());
        EXPECT_FALSE(log->toPlainText().contains(QChar('\t'))) << "no tab character typed";
    }
    // Text typed into it stays, as before.
    log->setFocus();
    for (char c : {'o', 'k'}) QTest::keyClick(window->windowHandle(), c);
    EXPECT_EQ(log->toPlainText(), "ok");
}

TEST_F(AppTest, ThePortThatComesAndGoesFillsTheLogOnlyUpToItsCap) {
    auto* log = find<QPlainTextEdit>("logView");
    const zave::CatalogEntry onBoard{"/dev/ttyS0", "COM1"}, adapter{"/dev/ttyUSB0", "COM7"};
    // Each return of the adapter beside the port on the board writes four lines.
    const int returns = LogViewSink::kMaxLines / 4 + 50;
    for (int i = 0; i < returns; ++i) {
        catalog.ports = std::vector<zave::CatalogEntry>{onBoard};
        window->portScanTick();
        catalog.ports = std::vector<zave::CatalogEntry>{onBoard, adapter};
        window->portScanTick();
    }
    EXPECT_EQ(log->blockCount(), LogViewSink::kMaxLines) << "the oldest lines are dropped";
    // The newest lines are kept, in order.
    const QTextBlock last = log->document()->lastBlock();
    EXPECT_EQ(last.text(), "-----------------------------------");
    EXPECT_EQ(last.previous().text(), QString::fromUtf8("Порт  : COM7"));
    EXPECT_TRUE(last.previous().previous().text().startsWith(QString::fromUtf8("соединение ")));
    // 200 lines, the first 50 returns, went; the log starts with a whole return.
    EXPECT_TRUE(log->document()->firstBlock().text().endsWith(QString::fromUtf8(" ->Обнаружено новое ")))
        << log->document()->firstBlock().text().toStdString();
}
