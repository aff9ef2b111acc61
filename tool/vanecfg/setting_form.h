// TSettingForm: the modal tool settings dialog. Its controls are the live
// store of the tool settings: the other windows read them through the
// accessors, also while the dialog is closed.
#pragma once

#include "tool/tool_settings.h"

#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TGetDirForm;
class ToolUi;

class TSettingForm : public QDialog {
    Q_OBJECT

  public:
    // The tool folder is the working directory at creation; `registryPath`
    // is the file of the web server's registry values.
    TSettingForm(ToolUi& ui, std::string registryPath, QWidget* parent = nullptr);

    void setFolderPicker(TGetDirForm* picker) { m_picker = picker; }

    // ShowSettings shows the dialog modally (reading `path` first when it
    // is given); OK saves, anything else discards the edits. True on OK.
    bool ShowSettings(const std::string& path);

    // The accessors, read from the controls as they are now.
    ToolSettings settings() const;
    std::string GetIniPath() const;
    std::string GetCgiPath() const;
    std::string GetConfName() const;
    std::string GetTemplatePath() const;
    std::string GetEditorPath() const;

    const std::string& toolFolder() const { return m_toolFolder; }
    const std::string& settingsPath() const { return m_settingsPath; }

    QLineEdit* EditIniDir;
    QPushButton* ButtonGetIniDir;
    QLineEdit* EditConfName;
    QPushButton* ButtonRegist;
    QLineEdit* EditConfTemplate;
    QPushButton* ButtonGetConfTmplt;
    QLineEdit* EditEditor;
    QPushButton* ButtonSetEditor;
    QLabel* Label1;
    QComboBox* ComboUA;
    QPushButton* ButtonEdit;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

    // What the file dialogs offer.
    static constexpr std::string_view template_filter =
        "テキストファイル(*.txt)|*.txt|表示設定ファイル(*.index)|*.index|全てのファイル|*.*";
    static constexpr std::string_view editor_filter =
        "実行ファイル|*.exe;*.com;*.bat;*.cmd|全てのファイル|*.*";

  public slots:
    void FormShow();
    void ButtonRegistClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void LoadSettings();
    void SaveSettings();
    void ButtonGetIniDirClick();
    void ButtonGetConfTmpltClick();
    void ButtonSetEditorClick();
    void ButtonEditClick();

    ToolUi& m_ui;
    std::string m_registryPath;
    TGetDirForm* m_picker = nullptr;
    std::string m_toolFolder;
    std::string m_settingsPath;
};
