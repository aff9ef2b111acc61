#include "tool/vanecfg/vanecfg_app.h"

#include "tool/vanecfg/form_config_main.h"
#include "tool/vanecfg/get_dir_form.h"
#include "tool/vanecfg/setting_form.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

const char* const tool_font_families[] = {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP", nullptr};

bool load_qt_translations(QTranslator& translator, const QLocale& locale) {
    const QStringList languages = locale.uiLanguages();
    if (languages.isEmpty() || QLocale(languages.front()).language() != QLocale::Japanese)
        return false;
    return translator.load(QStringLiteral("qtbase_ja"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

void set_up_application(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Vanecfg"));
    auto* toolkitTexts = new QTranslator(&app);
    if (load_qt_translations(*toolkitTexts, QLocale()))
        QCoreApplication::installTranslator(toolkitTexts);
    else
        delete toolkitTexts;
    QStringList families;
    for (const char* const* f = tool_font_families; *f != nullptr; ++f)
        families << QString::fromLatin1(*f);
    QFont font = app.font();
    font.setFamilies(families);
    font.setPixelSize(12);
    QApplication::setFont(font);
}

VanecfgWindows create_windows(ToolUi& ui, const std::string& registryPath) {
    VanecfgWindows windows;
    windows.main = std::make_unique<TFormConfigMain>(ui);
    windows.settings = new TSettingForm(ui, registryPath, windows.main.get());
    windows.picker = new TGetDirForm(windows.settings);
    windows.settings->setFolderPicker(windows.picker);
    windows.main->setSettingForm(windows.settings);
    return windows;
}
