// The folder tree and the folder list over the file system, with the
// shell's small icons and display names: a tree view rooted at the desktop
// (below it the drives, then the desktop's own folders) whose branches are
// read when they are first opened, and a list view of one folder's entries.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <string>
#include <vector>

namespace win32view {

// ShellTree is a tree view that shows folders only.
class ShellTree {
  public:
    // create makes the tree view as a child of `parent` with the control
    // id `id`; `autoRefresh` re-reads an opened branch each time it opens
    // again, so that new folders appear.
    void create(HWND parent, int id, bool autoRefresh);

    HWND handle() const { return m_tree; }

    // selected_path returns the path of the selected folder; "" when none.
    std::string selected_path() const;

    // select_path opens the branches down to `path` and selects the folder
    // (the nearest one found on the way when it is not all there); false
    // when not even its drive is in the tree.
    bool select_path(const std::string& path);

    // handle_notify answers the tree's WM_NOTIFY messages: branches are read
    // when they open. True when `header` was the tree's.
    bool handle_notify(const NMHDR* header, LRESULT& result);

  private:
    struct Node {
        std::string path;
        bool read = false;
    };

    HTREEITEM insert(HTREEITEM parent, const std::string& path, const std::string& label,
                     bool hasChildren);
    void read_branch(HTREEITEM item, Node& node);
    Node* node_of(HTREEITEM item) const;

    HWND m_tree = nullptr;
    bool m_autoRefresh = false;
    std::deque<Node> m_nodes; // addressed by the items; never shrinks
};

// ShellList is a list view with small icons of one folder's entries:
// folders first, then files, each in name order.
class ShellList {
  public:
    void create(HWND parent, int id);

    HWND handle() const { return m_list; }

    // show shows the entries of `folder` (nothing for ""), folders only
    // unless `withFiles`.
    void show(const std::string& folder, bool withFiles);
    // refresh reads the folder shown again.
    void refresh() { show(m_folder, m_withFiles); }

    const std::string& folder() const { return m_folder; }

    // selected_paths returns the paths of the selected items in list order.
    std::vector<std::string> selected_paths() const;

    // item_path returns the path of the item at `index`; "" outside the list.
    std::string item_path(int index) const;

    // handle_notify renames entries edited in place and reports a double
    // click on a folder through `opened`, a rename that failed through
    // `failure` (the message to show). True when `header` was the list's.
    bool handle_notify(const NMHDR* header, LRESULT& result, std::string& opened,
                       std::string& failure);

  private:
    HWND m_list = nullptr;
    std::string m_folder;
    bool m_withFiles = false;
    std::vector<std::string> m_names; // the items' names, by their lParam
};

// join_path joins a folder and a name with one "\".
std::string join_path(const std::string& folder, const std::string& name);

} // namespace win32view
