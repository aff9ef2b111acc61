// The folder tree of the main window and the folder picker: the file system
// from its root, folders only, with the desktop's icons.
#pragma once

#include <QString>

class QAbstractFileIconProvider;
class QFileSystemModel;
class QModelIndex;
class QObject;
class QTreeView;
class QWidget;

// desktop_icons gives the icons of folders and files.
QAbstractFileIconProvider* desktop_icons();

// make_folder_model returns a model of the folders under the root; with
// `watch` it refreshes itself when folders come and go.
QFileSystemModel* make_folder_model(QObject* parent, bool watch);

// make_folder_tree returns a tree over `model` showing only the names.
QTreeView* make_folder_tree(QWidget* parent, QFileSystemModel* model);

// folder_path is the path of the folder at `index`; "" for none.
QString folder_path(const QFileSystemModel* model, const QModelIndex& index);

// select_folder makes `path` the tree's current folder, opening the
// branches above it.
void select_folder(QTreeView* tree, QFileSystemModel* model, const QString& path);
