// A main window with every outside service faked, for the widget tests.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimeEdit>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

#include "app/desktop_shell.h"
#include "app/main_window.h"
#include "app/embedded_images.h"
#include "app/file_dialogs.h"
#include "link/discovery.h"
#include "support/fakes.h"

namespace apptest {

class FakeFileDialogs : public FileDialogs {
public:
    std::optional<QString> openFile() override {
        ++openCalls;
        return take(opens);
    }
    std::optional<QString> saveFile() override {
        ++saveCalls;
        return take(saves);
    }
    std::deque<std::optional<QString>> opens, saves;
    int openCalls = 0, saveCalls = 0;

private:
    // The next answer of a dialog; cancelled when none is queued.
    static std::optional<QString> take(std::deque<std::optional<QString>>& answers) {
        if (answers.empty() || !answers.front()) {
            if (!answers.empty()) answers.pop_front();
            return std::nullopt;
        }
        const QString path = *answers.front();
        answers.pop_front();
        return path;
    }
};

class FakeShell : public DesktopShell {
public:
    void openWithDefaultHandler(const QString& item) override { opened << item; }
    void startDeviceManager() override { ++deviceManagerStarts; }
    QStringList opened;
    int deviceManagerStarts = 0;
};

class FakeCatalog : public zave::PortCatalog {
public:
    std::optional<std::vector<zave::CatalogEntry>> listPorts() override { return ports; }
    std::optional<std::vector<zave::CatalogEntry>> ports = std::vector<zave::CatalogEntry>{};
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override { makeWindow(); }
    void TearDown() override {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The fakes of this fixture as the window's services.
    MainWindowServices fakeServices() {
        MainWindowServices s;
        s.boxes = &boxes;
        s.fileDialogs = &files;
        s.shell = &shell;
        s.catalog = &catalog;
        s.clock = &clock;
        s.quit = [this] { ++quitCalls; };
        return s;
    }

    void makeWindow(std::unique_ptr<zave::SerialPort> port = nullptr) {
        window.reset();
        MainWindowServices s = fakeServices();
        s.port = std::move(port);
        window = std::make_unique<MainWindow>(std::move(s));
        window->show();
        QApplication::processEvents();
    }

    template <class T>
    T* find(const QString& name) const {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QCheckBox* enabledBox(int k) const { return find<QCheckBox>(QString("slotEnabledBox%1").arg(k)); }
    QTimeEdit* picker(int k) const { return find<QTimeEdit>(QString("slotTimePicker%1").arg(k)); }
    QLineEdit* volumeField(int k) const { return find<QLineEdit>(QString("slotVolumeField%1").arg(k)); }

    // The operator's own actions.
    static void clickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2)); }
    static void typeInto(QLineEdit* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Delete);
        else QTest::keyClicks(field, text);
    }
    // Steps the hour section of a picker up by `hours` with the arrow key.
    static void stepHours(QTimeEdit* p, int hours) {
        p->setFocus();
        p->setCurrentSection(QDateTimeEdit::HourSection);
        for (int i = 0; i < hours; ++i) QTest::keyClick(p, Qt::Key_Up);
    }
    static void chooseDay(QComboBox* selector, int day) {
        selector->setFocus();
        while (selector->currentIndex() + 1 < day) QTest::keyClick(selector, Qt::Key_Down);
        while (selector->currentIndex() + 1 > day) QTest::keyClick(selector, Qt::Key_Up);
    }

    zave::testing::FakeMessageBoxes boxes;
    FakeFileDialogs files;
    FakeShell shell;
    FakeCatalog catalog;
    zave::testing::FakeClock clock;
    int quitCalls = 0;
    std::unique_ptr<MainWindow> window;
};

}  // namespace apptest
