// TSettingForm: the modal tool settings dialog. Its controls are the live
// store of the tool settings: the other windows read them through the
// accessors, also while the dialog is closed.
#pragma once

#include "tool/setting_form_model.h"
#include "tool/tool_settings.h"

#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TGetDirForm;
class ToolUi;

class TSettingForm : public QDialog, public SettingFormModel {
    Q_OBJECT

  public:
    // The tool folder is the working directory at creation; `registryPath`
    // is the file of the web server's registry values.
    TSettingForm(ToolUi& ui, std::string registryPath, QWidget* parent = nullptr);

    void setFolderPicker(TGetDirForm* picker) { m_picker = picker; }

    bool ShowSettings(const std::string& path) override;

    // The controls' texts; the accessors come with SettingFormModel.
    ToolSettings settings() const override;

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

    // What the file dialogs offer. The editor's first type is the files
    // that may be run (by their rights; no name pattern tells them here).
    static constexpr std::string_view template_filter =
        "テキストファイル(*.txt)|*.txt|表示設定ファイル(*.index)|*.index|全てのファイル|*.*";
    static constexpr std::string_view editor_filter = "実行ファイル|*|全てのファイル|*.*";

  public slots:
    void FormShow();
    void ButtonRegistClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void LoadSettings();
    void SaveSettings();
    void ButtonOKClick();
    void ButtonGetIniDirClick();
    void ButtonGetConfTmpltClick();
    void ButtonSetEditorClick();
    void ButtonEditClick();

    TGetDirForm* m_picker = nullptr;
};
