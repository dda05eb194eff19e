#include "app/look_and_language.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTranslator>

namespace {

// The window's fixed layout (control sizes in pixels) was drawn for the small
// dialog font of the Windows desktop. A condensed sans serif at 10 pixels
// shows every caption of it whole; vertical hinting keeps the strokes crisp
// without rounding the advances up, which would widen the texts.
QFont layoutFont() {
    QFont font;
    // Font databases that name a font by its typographic family (FreeType's)
    // know the condensed face only as "DejaVu Sans" of condensed width.
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans"), QStringLiteral("Tahoma")});
    font.setStretch(QFont::SemiCondensed);
    font.setPixelSize(10);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

// The Windows build carries the font file inside the program (see
// CMakeLists.txt); elsewhere the system's copy (fonts-dejavu-extra) serves.
void registerBuiltInFont() {
    const QString file = QStringLiteral(":/fonts/DejaVuSansCondensed.ttf");
    if (QFile::exists(file)) QFontDatabase::addApplicationFont(file);
}

// Fusion everywhere, so that the frames and margins the layout leaves for
// the texts are the same on every desktop. A check box takes a click on its
// whole area, as on Windows, not only on its box and caption.
class LayoutStyle final : public QProxyStyle {
public:
    LayoutStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override {
        if (element == SE_CheckBoxClickRect) return option->rect;
        return QProxyStyle::subElementRect(element, option, widget);
    }
};

// Qt's own texts (file dialogs, the edit menus of text fields) in Russian.
bool installQtTranslations(QApplication& app) {
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    const QStringList places = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
                                QStringLiteral(":/translations")};
    for (const QString& place : places) {
        auto* translator = new QTranslator(&app);
        if (translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), place)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
        delete translator;
    }
    return false;
}

}  // namespace

bool applyLookAndLanguage(QApplication& app) {
    QApplication::setStyle(new LayoutStyle);
    registerBuiltInFont();
    QApplication::setFont(layoutFont());
    return installQtTranslations(app);
}
