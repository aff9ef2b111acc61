#include "tool/vanecfg/folder_tree.h"

#include "tool/folder_switch.h"
#include "tool/tool_settings.h"
#include "tool/tool_ui.h"
#include "tool/vanecfg/qt_text.h"

#include "platform/file.h"
#include "platform/fs.h"

#include <QFileIconProvider>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// follow_selection is the tree's property that keeps its current folder in
// view while the folders around it load.
constexpr const char* follow_selection = "vanecfgFollowSelection";

// Listed is one entry of a folder as it was read.
struct Listed {
    std::string name;
    bool isDir = false;
};

// list_folder reads the entries of `folder`; false when it cannot be searched
// at all. A read that fails part-way keeps the entries read before it.
bool list_folder(const std::string& folder, bool withFiles, std::vector<Listed>& out) {
    out.clear();
    const platform::SearchResult result =
        platform::find_files(tool_file_path(folder, "*"), [&](const platform::FoundFile& f) {
            if (f.name == "." || f.name == ".." || (!f.isDir && !withFiles))
                return;
            out.push_back(Listed{std::string(f.name), f.isDir});
        });
    return result.end != platform::SearchEnd::not_searched;
}

// has_subfolder tells whether `folder` holds a folder, so that the tree
// offers to open only what has something to show.
bool has_subfolder(const std::string& folder) {
    bool found = false;
    platform::find_files(tool_file_path(folder, "*"), [&](const platform::FoundFile& f) {
        found = found || (f.isDir && f.name != "." && f.name != "..");
    });
    return found;
}

// comes_before orders entries as a file manager does: folders first, then
// by the shown name without regard to case, then by the bytes.
bool comes_before(const Listed& a, const Listed& b) {
    if (a.isDir != b.isDir)
        return a.isDir;
    const int order = name_to_qt(a.name).compare(name_to_qt(b.name), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.name < b.name;
}

// change_stamp is the folder's last-change time; 0 when it cannot be read.
std::int64_t change_stamp(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0)
        return 0;
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

QIcon icon_for(bool isDir) {
    return desktop_icons()->icon(isDir ? QAbstractFileIconProvider::Folder
                                       : QAbstractFileIconProvider::File);
}

} // namespace

QAbstractFileIconProvider* desktop_icons() {
    // The style's folder and file icons where the desktop theme has none.
    static QFileIconProvider provider;
    return &provider;
}

QString name_to_qt(const std::string& bytes) {
    return path_to_qt(bytes);
}

// ---- the tree ------------------------------------------------------------

struct FolderTreeModel::Node {
    std::string path;
    std::string name;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    bool read = false;
    bool hasFolders = true; // until it is read: whether it showed any
    std::int64_t stamp = 0;

    int row() const {
        for (std::size_t i = 0; i < parent->children.size(); ++i) {
            if (parent->children[i].get() == this)
                return static_cast<int>(i);
        }
        return -1;
    }
};

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent), m_top(std::make_unique<Node>()) {
    m_top->read = true;
    auto root = std::make_unique<Node>();
    root->path = root->name = std::string(1, platform::path_separator());
    root->parent = m_top.get();
    m_top->children.push_back(std::move(root));
}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node* FolderTreeModel::node(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_top.get();
}

QModelIndex FolderTreeModel::index_of(Node* n) const {
    return n == m_top.get() ? QModelIndex() : createIndex(n->row(), 0, n);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const Node* p = node(parent);
    if (column != 0 || row < 0 || static_cast<std::size_t>(row) >= p->children.size())
        return QModelIndex();
    return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return QModelIndex();
    return index_of(node(child)->parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    return static_cast<int>(node(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    const Node* n = node(parent);
    return n->read ? !n->children.empty() : n->hasFolders;
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    return !node(parent)->read;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
    read(node(parent));
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return QVariant();
    const Node* n = node(index);
    if (role == Qt::DisplayRole)
        return name_to_qt(n->name);
    if (role == Qt::DecorationRole)
        return icon_for(true);
    return QVariant();
}

std::string FolderTreeModel::path(const QModelIndex& index) const {
    return index.isValid() ? node(index)->path : std::string();
}

std::unique_ptr<FolderTreeModel::Node> FolderTreeModel::make_node(Node* parent, std::string name) {
    auto child = std::make_unique<Node>();
    child->path = tool_file_path(parent->path, name);
    child->name = std::move(name);
    child->parent = parent;
    child->hasFolders = has_subfolder(child->path);
    child->stamp = change_stamp(child->path);
    return child;
}

void FolderTreeModel::read(Node* n) {
    if (n->read)
        return;
    n->read = true;
    n->stamp = change_stamp(n->path);
    std::vector<Listed> found;
    list_folder(n->path, false, found);
    if (found.empty())
        return;
    std::sort(found.begin(), found.end(), comes_before);
    beginInsertRows(index_of(n), 0, static_cast<int>(found.size()) - 1);
    for (Listed& f : found) {
        n->children.push_back(make_node(n, std::move(f.name)));
    }
    endInsertRows();
}

QModelIndex FolderTreeModel::find(const std::string& path) {
    const char separator = platform::path_separator();
    if (path.empty() || path.front() != separator)
        return QModelIndex();
    Node* n = m_top->children.front().get();
    std::size_t at = 1;
    while (at < path.size()) {
        std::size_t end = path.find(separator, at);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(at, end - at);
        at = end + 1;
        if (name.empty() || name == ".")
            continue;
        read(n);
        const auto child = std::find_if(n->children.begin(), n->children.end(),
                                        [&](const auto& c) { return c->name == name; });
        if (child == n->children.end())
            return QModelIndex();
        n = child->get();
    }
    return index_of(n);
}

void FolderTreeModel::refresh() {
    for (const auto& root : m_top->children)
        refresh(root.get());
}

void FolderTreeModel::refresh(Node* n) {
    const std::int64_t stamp = change_stamp(n->path);
    if (!n->read) {
        // Whether it has anything to open may have changed.
        if (stamp != n->stamp) {
            n->stamp = stamp;
            const bool hasFolders = has_subfolder(n->path);
            if (hasFolders != n->hasFolders) {
                n->hasFolders = hasFolders;
                emit layoutAboutToBeChanged();
                emit layoutChanged(); // the views draw the branch mark again
            }
        }
        return;
    }
    if (stamp != n->stamp) {
        n->stamp = stamp;
        std::vector<Listed> found;
        list_folder(n->path, false, found);
        const QModelIndex at = index_of(n);
        // The folders that went, then the ones that came, each in its place.
        for (int row = static_cast<int>(n->children.size()) - 1; row >= 0; --row) {
            const std::string& name = n->children[static_cast<std::size_t>(row)]->name;
            if (std::none_of(found.begin(), found.end(),
                             [&](const Listed& f) { return f.name == name; })) {
                beginRemoveRows(at, row, row);
                n->children.erase(n->children.begin() + row);
                endRemoveRows();
            }
        }
        for (Listed& f : found) {
            if (std::any_of(n->children.begin(), n->children.end(),
                            [&](const auto& c) { return c->name == f.name; }))
                continue;
            const auto place =
                std::find_if(n->children.begin(), n->children.end(), [&](const auto& c) {
                    return comes_before(f, Listed{c->name, true});
                });
            const int row = static_cast<int>(place - n->children.begin());
            auto child = make_node(n, std::move(f.name));
            beginInsertRows(at, row, row);
            n->children.insert(n->children.begin() + row, std::move(child));
            endInsertRows();
        }
    }
    for (const auto& child : n->children)
        refresh(child.get());
}

// ---- the list ------------------------------------------------------------

FolderListModel::FolderListModel(QObject* parent) : QAbstractListModel(parent) {}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= m_entries.size())
        return QVariant();
    const Entry& e = m_entries[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return name_to_qt(e.name);
    if (role == Qt::DecorationRole)
        return icon_for(e.isDir);
    return QVariant();
}

Qt::ItemFlags FolderListModel::flags(const QModelIndex& index) const {
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

bool FolderListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() ||
        static_cast<std::size_t>(index.row()) >= m_entries.size())
        return false;
    const Entry& e = m_entries[static_cast<std::size_t>(index.row())];
    if (value.toString() == name_to_qt(e.name))
        return false; // unchanged: the name keeps its bytes
    const std::string name = path_from_qt(value.toString());
    const std::string from = tool_file_path(m_folder, e.name);
    const std::string to = tool_file_path(m_folder, name);
    std::string reason;
    if (name.empty() || name == "." || name == ".." ||
        name.find(platform::path_separator()) != std::string::npos)
        reason = std::strerror(EINVAL); // a name, not a path
    else if (platform::path_kind(to) != platform::PathKind::missing)
        reason = std::strerror(EEXIST); // never over another entry
    else if (const platform::Outcome<void> moved = platform::move_file(from, to); !moved)
        reason = moved.failure().reason;
    if (!reason.empty()) {
        if (m_renameFailed)
            m_renameFailed(failure_message(rename_failure_message, from, reason));
        return false;
    }
    refresh();
    return true;
}

std::vector<FolderListModel::Entry> FolderListModel::read() const {
    std::vector<Listed> found;
    if (!m_folder.empty())
        list_folder(m_folder, m_showFiles, found);
    std::sort(found.begin(), found.end(), comes_before);
    std::vector<Entry> entries;
    for (Listed& f : found)
        entries.push_back(Entry{std::move(f.name), f.isDir});
    return entries;
}

void FolderListModel::set_folder(const std::string& folder) {
    beginResetModel();
    m_folder = folder;
    m_entries = read();
    endResetModel();
}

void FolderListModel::set_show_files(bool showFiles) {
    if (showFiles == m_showFiles)
        return;
    m_showFiles = showFiles;
    refresh();
}

void FolderListModel::refresh() {
    const std::vector<Entry> found = read();
    const auto same = [](const Entry& a, const Entry& b) {
        return a.name == b.name && a.isDir == b.isDir;
    };
    for (int row = static_cast<int>(m_entries.size()) - 1; row >= 0; --row) {
        const Entry& e = m_entries[static_cast<std::size_t>(row)];
        if (std::none_of(found.begin(), found.end(), [&](const Entry& f) { return same(f, e); })) {
            beginRemoveRows(QModelIndex(), row, row);
            m_entries.erase(m_entries.begin() + row);
            endRemoveRows();
        }
    }
    for (const Entry& f : found) {
        if (std::any_of(m_entries.begin(), m_entries.end(),
                        [&](const Entry& e) { return same(f, e); }))
            continue;
        const auto place = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
            return comes_before(Listed{f.name, f.isDir}, Listed{e.name, e.isDir});
        });
        const int row = static_cast<int>(place - m_entries.begin());
        beginInsertRows(QModelIndex(), row, row);
        m_entries.insert(place, f);
        endInsertRows();
    }
}

std::string FolderListModel::path(const QModelIndex& index) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= m_entries.size())
        return std::string();
    return tool_file_path(m_folder, m_entries[static_cast<std::size_t>(index.row())].name);
}

bool FolderListModel::is_dir(const QModelIndex& index) const {
    return index.isValid() && static_cast<std::size_t>(index.row()) < m_entries.size() &&
           m_entries[static_cast<std::size_t>(index.row())].isDir;
}

QModelIndex FolderListModel::find(const std::string& name) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].name == name)
            return index(static_cast<int>(i));
    }
    return QModelIndex();
}

// ---- the views -----------------------------------------------------------

QTreeView* make_folder_tree(QWidget* parent, FolderTreeModel* model) {
    auto* tree = new QTreeView(parent);
    tree->setModel(model);
    tree->header()->hide();
    tree->setIconSize(QSize(16, 16));
    tree->setRootIsDecorated(false);
    tree->setExpandsOnDoubleClick(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->expand(model->index(0, 0));
    // The folders around the selected one may change while it is shown:
    // until the user handles the tree, it is kept in view.
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

bool select_folder(QTreeView* tree, FolderTreeModel* model, const std::string& path) {
    const QModelIndex index = model->find(path);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        tree->expand(up);
    tree->setCurrentIndex(index);
    tree->scrollTo(index);
    tree->setProperty(follow_selection, true);
    return true;
}
