#include "tool/win32view/shell_views.h"

#include "tool/folder_switch.h"
#include "tool/tool_ui.h"

#include "platform/win32/wide_text.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

namespace win32view {

namespace {

struct Entry {
    std::string name;
    bool isDir = false;
};

bool is_dot_name(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// read_entries returns the entries of `folder` ("." and ".." left out),
// folders first, each group in the shell's name order.
std::vector<Entry> read_entries(const std::string& folder, bool withFiles) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileExA(
        join_path(folder, "*").c_str(), FindExInfoStandard, &found,
        withFiles ? FindExSearchNameMatch : FindExSearchLimitToDirectories, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const bool isDir = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if ((isDir || withFiles) && !is_dot_name(found.cFileName))
            entries.push_back({found.cFileName, isDir});
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.isDir != b.isDir)
            return a.isDir;
        return lstrcmpiA(a.name.c_str(), b.name.c_str()) < 0;
    });
    return entries;
}

bool has_subfolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileExA(join_path(folder, "*").c_str(), FindExInfoStandard,
                                           &found, FindExSearchLimitToDirectories, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool any = false;
    do {
        any = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
              !is_dot_name(found.cFileName);
    } while (!any && FindNextFileA(search, &found));
    FindClose(search);
    return any;
}

// small_icon returns the index of the small icon of `path` in the shell's
// image list.
int small_icon(const std::string& path, UINT extraFlags = 0) {
    SHFILEINFOA info{};
    SHGetFileInfoA(path.c_str(), 0, &info, sizeof info,
                   SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extraFlags);
    return info.iIcon;
}

HIMAGELIST shell_small_images() {
    SHFILEINFOA info{};
    char windows[MAX_PATH] = "C:\\";
    GetWindowsDirectoryA(windows, MAX_PATH);
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(windows, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

// components splits a path below its drive root at each "\"; a trail byte
// of a double-byte character that equals "\" does not split.
std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < path.size()) {
            part += c;
            part += path[++i];
        } else if (c == '\\' || c == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

bool ends_with_separator(const std::string& path) {
    if (path.empty() || path.back() != '\\')
        return false;
    // The last "\" may be the trail byte of a double-byte character.
    const char* last = CharPrevA(path.c_str(), path.c_str() + path.size());
    return last == path.c_str() + path.size() - 1;
}

// is_plain_name tells whether a name typed in place names an entry of the
// same folder: one component, no drive or stream (":"), not "." or "..".
bool is_plain_name(const std::string& name) {
    const std::vector<std::string> parts = components(name);
    return parts.size() == 1 && parts[0] == name && name.find(':') == std::string::npos &&
           name != "." && name != "..";
}

bool same_drive_letter(char a, char b) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return upper(a) == upper(b);
}

} // namespace

std::string join_path(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return ends_with_separator(folder) ? folder + name : folder + "\\" + name;
}

void ShellTree::create(HWND parent, int id, bool autoRefresh) {
    m_autoRefresh = autoRefresh;
    m_tree =
        CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_SHOWSELALWAYS, 0,
                        0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleA(nullptr), nullptr);
    if (m_tree == nullptr)
        return;
    TreeView_SetImageList(m_tree, shell_small_images(), TVSIL_NORMAL);

    // The desktop, and below it the drives and the desktop's folders.
    char desktop[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
    std::string desktopName = "Desktop";
    int desktopIcon = 0;
    LPITEMIDLIST desktopItem = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktopItem))) {
        SHFILEINFOA info{};
        SHGetFileInfoA(reinterpret_cast<LPCSTR>(desktopItem), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        if (info.szDisplayName[0] != '\0')
            desktopName = info.szDisplayName;
        desktopIcon = info.iIcon;
        CoTaskMemFree(desktopItem);
    }
    const HTREEITEM root = insert(TVI_ROOT, desktop, desktopName, true);
    TVITEMA icon{};
    icon.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    icon.hItem = root;
    icon.iImage = icon.iSelectedImage = desktopIcon;
    TreeView_SetItem(m_tree, &icon);

    char drives[512] = "";
    const DWORD length = GetLogicalDriveStringsA(sizeof drives - 1, drives);
    for (const char* drive = drives; length > 0 && length < sizeof drives && *drive != '\0';
         drive += lstrlenA(drive) + 1) {
        SHFILEINFOA info{};
        SHGetFileInfoA(drive, 0, &info, sizeof info, SHGFI_DISPLAYNAME);
        insert(root, drive, info.szDisplayName[0] != '\0' ? info.szDisplayName : drive, true);
    }
    if (desktop[0] != '\0') {
        for (const Entry& entry : read_entries(desktop, false)) {
            const std::string path = join_path(desktop, entry.name);
            insert(root, path, entry.name, has_subfolder(path));
        }
    }
    node_of(root)->read = true;
    TreeView_Expand(m_tree, root, TVE_EXPAND);
}

HTREEITEM ShellTree::insert(HTREEITEM parent, const std::string& path, const std::string& label,
                            bool hasChildren) {
    m_nodes.push_back({path, false});
    std::string text = label;
    TVINSERTSTRUCTA item{};
    item.hParent = parent;
    item.hInsertAfter = TVI_LAST;
    item.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    item.item.pszText = text.data();
    item.item.lParam = reinterpret_cast<LPARAM>(&m_nodes.back());
    item.item.iImage = small_icon(path);
    item.item.iSelectedImage = small_icon(path, SHGFI_OPENICON);
    item.item.cChildren = hasChildren ? 1 : 0;
    return TreeView_InsertItem(m_tree, &item);
}

ShellTree::Node* ShellTree::node_of(HTREEITEM item) const {
    if (item == nullptr)
        return nullptr;
    TVITEMA data{};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    if (!TreeView_GetItem(m_tree, &data))
        return nullptr;
    return reinterpret_cast<Node*>(data.lParam);
}

void ShellTree::read_branch(HTREEITEM item, Node& node) {
    for (HTREEITEM child = TreeView_GetChild(m_tree, item); child != nullptr;) {
        const HTREEITEM next = TreeView_GetNextSibling(m_tree, child);
        TreeView_DeleteItem(m_tree, child);
        child = next;
    }
    const std::vector<Entry> entries = read_entries(node.path, false);
    for (const Entry& entry : entries) {
        const std::string path = join_path(node.path, entry.name);
        insert(item, path, entry.name, has_subfolder(path));
    }
    node.read = true;
    TVITEMA children{};
    children.mask = TVIF_CHILDREN;
    children.hItem = item;
    children.cChildren = entries.empty() ? 0 : 1;
    TreeView_SetItem(m_tree, &children);
}

std::string ShellTree::selected_path() const {
    const Node* node = node_of(TreeView_GetSelection(m_tree));
    return node != nullptr ? node->path : std::string();
}

bool ShellTree::select_path(const std::string& path) {
    const HTREEITEM root = TreeView_GetRoot(m_tree);
    HTREEITEM current = nullptr;
    std::vector<std::string> below;
    for (HTREEITEM drive = TreeView_GetChild(m_tree, root); drive != nullptr;
         drive = TreeView_GetNextSibling(m_tree, drive)) {
        const Node* node = node_of(drive);
        if (node == nullptr)
            continue;
        const std::string& prefix = node->path;
        if (prefix.size() == 3 && prefix[1] == ':' && path.size() >= 2 && path[1] == ':' &&
            same_drive_letter(prefix[0], path[0])) {
            current = drive;
            below = components(path.substr(2));
            break;
        }
    }
    if (current == nullptr)
        return false;
    for (const std::string& name : below) {
        // Opening the branch reads it (again, with automatic refresh), which
        // replaces its items: the child is looked up only afterwards.
        TreeView_Expand(m_tree, current, TVE_EXPAND);
        Node* node = node_of(current);
        if (node == nullptr)
            break;
        if (!node->read)
            read_branch(current, *node);
        HTREEITEM match = nullptr;
        for (HTREEITEM child = TreeView_GetChild(m_tree, current); child != nullptr;
             child = TreeView_GetNextSibling(m_tree, child)) {
            const Node* candidate = node_of(child);
            const std::vector<std::string> parts =
                candidate != nullptr ? components(candidate->path) : std::vector<std::string>();
            if (!parts.empty() && lstrcmpiA(parts.back().c_str(), name.c_str()) == 0) {
                match = child;
                break;
            }
        }
        if (match == nullptr)
            break;
        current = match;
    }
    TreeView_SelectItem(m_tree, current);
    TreeView_EnsureVisible(m_tree, current);
    return true;
}

bool ShellTree::handle_notify(const NMHDR* header, LRESULT& result) {
    if (header->hwndFrom != m_tree)
        return false;
    result = 0;
    if (header->code == TVN_ITEMEXPANDINGA) {
        const auto* change = reinterpret_cast<const NMTREEVIEWA*>(header);
        Node* node = reinterpret_cast<Node*>(change->itemNew.lParam);
        if ((change->action & TVE_EXPAND) != 0 && node != nullptr &&
            (!node->read || m_autoRefresh) && TreeView_GetParent(m_tree, change->itemNew.hItem))
            read_branch(change->itemNew.hItem, *node);
    }
    return true;
}

void ShellList::create(HWND parent, int id) {
    m_list =
        CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_LIST | LVS_SHOWSELALWAYS |
                            LVS_EDITLABELS | LVS_AUTOARRANGE | LVS_SHAREIMAGELISTS,
                        0, 0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleA(nullptr), nullptr);
    if (m_list != nullptr)
        ListView_SetImageList(m_list, shell_small_images(), LVSIL_SMALL);
}

void ShellList::show(const std::string& folder, bool withFiles) {
    // Reading the same folder again keeps what was selected in it.
    std::vector<std::string> selected;
    if (folder == m_folder) {
        for (int index = ListView_GetNextItem(m_list, -1, LVNI_SELECTED); index >= 0;
             index = ListView_GetNextItem(m_list, index, LVNI_SELECTED)) {
            if (static_cast<std::size_t>(index) < m_names.size())
                selected.push_back(
                    m_names[static_cast<std::size_t>(index)]); // items keep their order
        }
    }
    m_folder = folder;
    m_withFiles = withFiles;
    SendMessageA(m_list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(m_list);
    m_names.clear();
    if (!folder.empty()) {
        for (const Entry& entry : read_entries(folder, withFiles)) {
            m_names.push_back(entry.name);
            std::string text = entry.name;
            LVITEMA item{};
            item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
            item.iItem = static_cast<int>(m_names.size()) - 1;
            item.pszText = text.data();
            item.lParam = static_cast<LPARAM>(m_names.size() - 1);
            item.iImage = small_icon(join_path(folder, entry.name));
            if (std::find(selected.begin(), selected.end(), entry.name) != selected.end()) {
                item.mask |= LVIF_STATE;
                item.state = item.stateMask = LVIS_SELECTED;
            }
            SendMessageA(m_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    SendMessageA(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
}

std::string ShellList::item_path(int index) const {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (index < 0 || !SendMessageA(m_list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ||
        item.lParam < 0 || static_cast<std::size_t>(item.lParam) >= m_names.size())
        return {};
    return join_path(m_folder, m_names[static_cast<std::size_t>(item.lParam)]);
}

std::vector<std::string> ShellList::selected_paths() const {
    std::vector<std::string> paths;
    for (int index = ListView_GetNextItem(m_list, -1, LVNI_SELECTED); index >= 0;
         index = ListView_GetNextItem(m_list, index, LVNI_SELECTED))
        paths.push_back(item_path(index));
    return paths;
}

bool ShellList::handle_notify(const NMHDR* header, LRESULT& result, std::string& opened,
                              std::string& failure) {
    if (header->hwndFrom != m_list)
        return false;
    result = 0;
    if (header->code == LVN_ENDLABELEDITA) {
        // A name changed in place renames the entry; the list keeps the
        // new name only when the file system took it.
        const auto* edit = reinterpret_cast<const NMLVDISPINFOA*>(header);
        const auto slot = static_cast<std::size_t>(edit->item.lParam);
        if (edit->item.pszText == nullptr || slot >= m_names.size())
            return true; // the edit was cancelled
        const std::string from = join_path(m_folder, m_names[slot]);
        if (!is_plain_name(edit->item.pszText)) {
            // one name, in this folder
            failure = failure_message(rename_failure_message, from,
                                      platform::win32::error_text(ERROR_INVALID_NAME));
            return true;
        }
        const std::string to = join_path(m_folder, edit->item.pszText);
        if (MoveFileA(from.c_str(), to.c_str())) {
            m_names[slot] = edit->item.pszText;
            result = TRUE;
        } else {
            failure = failure_message(rename_failure_message, from,
                                      platform::win32::error_text(GetLastError()));
        }
    } else if (header->code == NM_DBLCLK) {
        const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
        const std::string path = item_path(click->iItem);
        const DWORD attributes =
            path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            opened = path;
    }
    return true;
}

} // namespace win32view
