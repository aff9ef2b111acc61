#include "tool/vanecfg/folder_tree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>

QAbstractFileIconProvider* desktop_icons() {
    // The style's folder and file icons where the desktop theme has none.
    static QFileIconProvider provider;
    return &provider;
}

QFileSystemModel* make_folder_model(QObject* parent, bool watch) {
    auto* model = new QFileSystemModel(parent);
    model->setIconProvider(desktop_icons());
    model->setOption(QFileSystemModel::DontWatchForChanges, !watch);
    model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot | QDir::Hidden);
    model->setReadOnly(true);
    model->setRootPath(QDir::rootPath());
    return model;
}

QTreeView* make_folder_tree(QWidget* parent, QFileSystemModel* model) {
    auto* tree = new QTreeView(parent);
    tree->setModel(model);
    for (int column = 1; column < model->columnCount(); ++column)
        tree->hideColumn(column);
    tree->header()->hide();
    tree->setIconSize(QSize(16, 16));
    tree->setRootIsDecorated(false);
    tree->setExpandsOnDoubleClick(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->expand(model->index(QDir::rootPath()));
    return tree;
}

QString folder_path(const QFileSystemModel* model, const QModelIndex& index) {
    return index.isValid() ? model->filePath(index) : QString();
}

void select_folder(QTreeView* tree, QFileSystemModel* model, const QString& path) {
    const QModelIndex index = model->index(path);
    if (!index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        tree->expand(up);
    tree->setCurrentIndex(index);
    tree->scrollTo(index);
}
