// The folder tree of the main window and the folder picker, and the main
// window's folder list. Both keep every name as the file system's bytes:
// a name that is no text in the locale (Shift_JIS on a UTF-8 system) is
// shown with U+FFFD for the bytes that form no character, and every action
// gets its exact bytes back.
#pragma once

#include <QAbstractItemModel>
#include <QAbstractListModel>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAbstractFileIconProvider;
class QTreeView;
class QWidget;

// desktop_icons gives the icons of folders and files.
QAbstractFileIconProvider* desktop_icons();

// name_to_qt shows a name's bytes as text.
QString name_to_qt(const std::string& bytes);

// FolderTreeModel is the file system's folders from the root, read one
// folder at a time as the tree opens them. refresh() reads the opened
// folders again where they changed.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT

  public:
    explicit FolderTreeModel(QObject* parent = nullptr);
    ~FolderTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // path is the folder's path as bytes; "" for none.
    std::string path(const QModelIndex& index) const;
    // find returns the folder `path` (absolute, as bytes), reading the
    // folders on the way; invalid when it is not there.
    QModelIndex find(const std::string& path);
    // refresh reads every opened folder whose time stamp changed.
    void refresh();

  private:
    struct Node;
    Node* node(const QModelIndex& index) const;
    QModelIndex index_of(Node* n) const;
    std::unique_ptr<Node> make_node(Node* parent, std::string name);
    void read(Node* n);
    void refresh(Node* n);

    std::unique_ptr<Node> m_top; // holds the root folder
};

// FolderListModel is the entries of one folder: its folders, and its files
// too while they are shown. Names can be changed in place; a change that
// fails goes to the rename-failure handler.
class FolderListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    explicit FolderListModel(QObject* parent = nullptr);

    // on_rename_failure receives the message for a failed rename.
    void on_rename_failure(std::function<void(const std::string&)> handler) {
        m_renameFailed = std::move(handler);
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // set_folder shows `folder` ("" shows nothing).
    void set_folder(const std::string& folder);
    const std::string& folder() const { return m_folder; }
    void set_show_files(bool showFiles);
    // refresh reads the folder again, keeping the entries that stayed.
    void refresh();

    std::string path(const QModelIndex& index) const;
    bool is_dir(const QModelIndex& index) const;
    // find returns the entry called `name` (bytes); invalid when none.
    QModelIndex find(const std::string& name) const;

  private:
    struct Entry {
        std::string name;
        bool isDir = false;
    };
    std::vector<Entry> read() const;

    std::string m_folder;
    bool m_showFiles = false;
    std::vector<Entry> m_entries;
    std::function<void(const std::string&)> m_renameFailed;
};

// make_folder_tree returns a tree over `model` showing only the names.
QTreeView* make_folder_tree(QWidget* parent, FolderTreeModel* model);

// select_folder makes `path` the tree's current folder, opening the
// branches above it; false when there is no such folder.
bool select_folder(QTreeView* tree, FolderTreeModel* model, const std::string& path);
