#include "tool/vanecfg/folder_tree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>

namespace {

// follow_selection is the tree's property that keeps its current folder in
// view while the folders around it load.
constexpr const char* follow_selection = "vanecfgFollowSelection";

} // namespace

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
    // The folders around the selected one load and sort in the background
    // and push it down: until the user handles the tree, it is kept in view.
    const auto follow = [tree] {
        if (tree->property(follow_selection).toBool())
            tree->scrollTo(tree->currentIndex());
    };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, tree, follow);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, tree, follow);
    const auto stop = [tree] { tree->setProperty(follow_selection, false); };
    QObject::connect(tree, &QAbstractItemView::pressed, tree, stop);
    QObject::connect(tree, &QTreeView::expanded, tree, stop);
    QObject::connect(tree, &QTreeView::collapsed, tree, stop);
    QObject::connect(tree->verticalScrollBar(), &QAbstractSlider::actionTriggered, tree, stop);
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
    tree->setProperty(follow_selection, true);
}
