// TFormConfigMain: the main window, where the administrator switches the
// index page of web folders on and off, edits the settings files, runs the
// display test and opens the tool settings.
#pragma once

#include "tool/display_test.h"
#include "tool/main_window_model.h"

#include <QMainWindow>
#include <QSize>
#include <string>
#include <vector>

class QCheckBox;
class QFileSystemModel;
class QListView;
class QPushButton;
class QStatusBar;
class QTreeView;
class TSettingForm;
class ToolUi;

class TFormConfigMain : public QMainWindow {
    Q_OBJECT

  public:
    explicit TFormConfigMain(ToolUi& ui, QWidget* parent = nullptr);

    // The tool settings dialog is created after this window.
    void setSettingForm(TSettingForm* form);

    // What the buttons act on: the tree's folder ("" for none) and the
    // paths of the items selected in the list, in list order.
    std::string treeFolder() const;
    std::vector<std::string> selectedListItems() const;
    void selectTreeFolder(const std::string& path);

    const std::string& toolFolder() const { return m_model.tool_folder(); }
    const DisplayTest& displayTest() const { return m_model.display_test(); }

    QTreeView* DirTreeView;
    QListView* FileListView;
    QPushButton* ButtonEditIni;
    QPushButton* ButtonTest;
    QPushButton* ButtonSetting;
    QCheckBox* CheckFileOn;
    QPushButton* ButtonDvON;
    QPushButton* ButtonDvOFF;
    QPushButton* ButtonEditConf;
    QStatusBar* StatusBar1;

  public slots:
    void ButtonDvONClick();
    void ButtonDvOFFClick();
    void ButtonEditConfClick();
    void ButtonEditIniClick();
    void ButtonSettingClick();
    void ButtonTestClick();
    void CheckFileOnClick();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void FormClose();
    void LoadToolSettings();
    void SaveToolSettings();
    void DirTreeViewChange();
    void updateStatusLine();

    MainWindowModel m_model;
    QFileSystemModel* m_treeModel;
    QFileSystemModel* m_listModel;
};
