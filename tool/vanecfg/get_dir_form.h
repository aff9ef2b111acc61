// TGetDirForm: the modal folder picker with which the tool settings dialog
// asks for the folder of Dirvane.
#pragma once

#include <QDialog>

#include <string>

class FolderTreeModel;
class QPushButton;
class QTreeView;

class TGetDirForm : public QDialog {
    Q_OBJECT

  public:
    explicit TGetDirForm(QWidget* parent = nullptr);

    // The folder confirmed with OK, as bytes; empty until then and after
    // Cancel.
    const std::string& chosenPath() const { return m_chosenPath; }

    // selectFolder makes `path` the tree's current folder.
    void selectFolder(const std::string& path);
    std::string currentFolder() const;

    QTreeView* DirTree;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

  private:
    void FormShow();
    void FormClose(int result);
    void DirTreeDblClick();

    FolderTreeModel* m_model;
    std::string m_chosenPath;
};
