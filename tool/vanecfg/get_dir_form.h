// TGetDirForm: the modal folder picker with which the tool settings dialog
// asks for the folder of Dirvane.
#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QPushButton;
class QTreeView;

class TGetDirForm : public QDialog {
    Q_OBJECT

  public:
    explicit TGetDirForm(QWidget* parent = nullptr);

    // The folder confirmed with OK; empty until then and after Cancel.
    QString chosenPath() const { return m_chosenPath; }

    // selectFolder makes `path` the tree's current folder.
    void selectFolder(const QString& path);
    QString currentFolder() const;

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

    QFileSystemModel* m_model;
    QString m_chosenPath;
};
