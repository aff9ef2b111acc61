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

class FolderListModel;
class FolderTreeModel;
class QCheckBox;
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

    // What the buttons act on: the folder picked in the tree ("" for none;
    // one that has gone since stays picked, and the buttons say so) and
    // the paths of the items selected in the list, in list order.
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
    // refreshFolders reads the shown folders again; a picked folder that
    // has gone is shown as gone.
    void refreshFolders();
    void centreOnDesktop();

    MainWindowModel m_model;
    FolderTreeModel* m_treeModel;
    FolderListModel* m_listModel;
    std::string m_picked;    // the folder the user picked in the tree
    bool m_removing = false; // the tree moves its current row as folders go
};
