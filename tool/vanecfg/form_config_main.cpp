#include "tool/vanecfg/form_config_main.h"

#include "tool/folder_switch.h"
#include "tool/tool_settings.h"
#include "tool/vanecfg/folder_tree.h"
#include "tool/vanecfg/qt_text.h"
#include "tool/vanecfg/setting_form.h"

#include "platform/file.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPushButton* make_button(QWidget* parent, const char* name, const QString& caption,
                         const QString& hint) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    return button;
}

// FolderList renames in place as the shell list does: with F2, or with a
// second click on an item that is selected alone. A click on an item of a
// multi-selection starts no rename, so that the click reduces the selection
// to that item instead of keeping the others.
class FolderList : public QListView {
  public:
    using QListView::QListView;

  protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        if (trigger == SelectedClicked && selectionModel() != nullptr &&
            selectionModel()->selectedIndexes().size() > 1)
            return false;
        return QListView::edit(index, trigger, event);
    }
};

} // namespace

TFormConfigMain::TFormConfigMain(ToolUi& ui, QWidget* parent) : QMainWindow(parent), m_model(ui) {
    setWindowTitle(QStringLiteral("Dirvane 設定ツール"));
    resize(552, 322);

    m_treeModel = new FolderTreeModel(this);
    // Before the tree's own handler, which moves the current row away from
    // a folder that goes: that move is no pick.
    connect(m_treeModel, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this] { m_removing = true; });
    connect(m_treeModel, &QAbstractItemModel::rowsRemoved, this, [this] { m_removing = false; });
    DirTreeView = make_folder_tree(this, m_treeModel);
    DirTreeView->setObjectName(QStringLiteral("DirTreeView"));

    m_listModel = new FolderListModel(this);
    m_listModel->on_rename_failure(
        [this](const std::string& message) { m_model.show_error(message); });
    FileListView = new FolderList(this);
    FileListView->setObjectName(QStringLiteral("FileListView"));
    FileListView->setModel(m_listModel);
    FileListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FileListView->setIconSize(QSize(16, 16)); // small icons
    FileListView->setViewMode(QListView::ListMode);
    FileListView->setFlow(QListView::TopToBottom);
    FileListView->setWrapping(true);
    FileListView->setResizeMode(QListView::Adjust);
    FileListView->setEditTriggers(QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::SelectedClicked);

    ButtonEditIni = make_button(this, "ButtonEditIni", QStringLiteral("共通設定編集"),
                                QStringLiteral("共通設定ファイルを編集します。"));
    ButtonTest = make_button(this, "ButtonTest", QStringLiteral("表示テスト"),
                             QStringLiteral("仮のURLでリストを作成して表示します。"));
    ButtonSetting = make_button(this, "ButtonSetting", QStringLiteral("Tool 設定"),
                                QStringLiteral("本ツールの設定を行います。"));
    CheckFileOn = new QCheckBox(QStringLiteral("ファイルを表示"), this);
    CheckFileOn->setObjectName(QStringLiteral("CheckFileOn"));
    CheckFileOn->setToolTip(QStringLiteral("チェックが入っていない場合は、フォルダのみを表示。"));
    ButtonDvON =
        make_button(this, "ButtonDvON", QStringLiteral("IndexON"),
                    QStringLiteral("選択したフォルダのインデックスリスト表示を開始します。"));
    ButtonDvOFF =
        make_button(this, "ButtonDvOFF", QStringLiteral("IndexOFF"),
                    QStringLiteral("選択したフォルダのインデックスリスト表示を停止します。"));
    ButtonEditConf =
        make_button(this, "ButtonEditConf", QStringLiteral("Edit"),
                    QStringLiteral("選択したフォルダの表示設定ファイルを編集します。"));
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);

    auto* views = new QSplitter(Qt::Horizontal, this);
    views->addWidget(DirTreeView);
    views->addWidget(FileListView);
    views->setStretchFactor(1, 1);
    views->setSizes({180, 372});
    auto* buttons = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(ButtonEditIni), static_cast<QWidget*>(ButtonTest),
                       static_cast<QWidget*>(ButtonSetting)})
        buttons->addWidget(w);
    buttons->addStretch();
    for (QWidget* w : {static_cast<QWidget*>(CheckFileOn), static_cast<QWidget*>(ButtonDvON),
                       static_cast<QWidget*>(ButtonDvOFF), static_cast<QWidget*>(ButtonEditConf)})
        buttons->addWidget(w);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(views, 1);
    layout->addLayout(buttons);
    setCentralWidget(central);

    setTabOrder(DirTreeView, FileListView);
    setTabOrder(FileListView, ButtonEditIni);
    setTabOrder(ButtonEditIni, ButtonTest);
    setTabOrder(ButtonTest, ButtonSetting);
    setTabOrder(ButtonSetting, CheckFileOn);
    setTabOrder(CheckFileOn, ButtonDvON);
    setTabOrder(ButtonDvON, ButtonDvOFF);
    setTabOrder(ButtonDvOFF, ButtonEditConf);

    connect(ButtonDvON, &QPushButton::clicked, this, &TFormConfigMain::ButtonDvONClick);
    connect(ButtonDvOFF, &QPushButton::clicked, this, &TFormConfigMain::ButtonDvOFFClick);
    connect(ButtonEditConf, &QPushButton::clicked, this, &TFormConfigMain::ButtonEditConfClick);
    connect(ButtonEditIni, &QPushButton::clicked, this, &TFormConfigMain::ButtonEditIniClick);
    connect(ButtonSetting, &QPushButton::clicked, this, &TFormConfigMain::ButtonSettingClick);
    connect(ButtonTest, &QPushButton::clicked, this, &TFormConfigMain::ButtonTestClick);
    connect(CheckFileOn, &QCheckBox::toggled, this, &TFormConfigMain::CheckFileOnClick);
    connect(DirTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFormConfigMain::DirTreeViewChange);
    connect(DirTreeView, &QTreeView::clicked, this, &TFormConfigMain::DirTreeViewChange);
    // A folder opened in the list (double click, Enter) becomes the tree's
    // folder, which the list then shows.
    connect(FileListView, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (m_listModel->is_dir(index))
            selectTreeFolder(m_listModel->path(index));
    });
    // The tree and the list follow the file system.
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &TFormConfigMain::refreshFolders);
    refresh->start(1000);
    // "Edit" is the window's cancel button: Esc presses it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, ButtonEditConf, &QPushButton::click);

    FormCreate();
}

void TFormConfigMain::FormCreate() {
    // The window never gets smaller than it starts, and starts large
    // enough for every button's text in the font it got.
    resize(size().expandedTo(minimumSizeHint()));
    setMinimumSize(size());
    centreOnDesktop();
    LoadToolSettings();
    selectTreeFolder(m_model.tool_folder());
}

void TFormConfigMain::setSettingForm(TSettingForm* form) {
    m_model.set_setting_form(form);
    updateStatusLine();
}

void TFormConfigMain::LoadToolSettings() {
    CheckFileOn->setChecked(m_model.load_show_files());
    CheckFileOnClick();
}

void TFormConfigMain::SaveToolSettings() {
    m_model.save_show_files(CheckFileOn->isChecked());
}

void TFormConfigMain::closeEvent(QCloseEvent* event) {
    FormClose();
    QMainWindow::closeEvent(event);
}

void TFormConfigMain::FormClose() {
    SaveToolSettings();
}

void TFormConfigMain::centreOnDesktop() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TFormConfigMain::CheckFileOnClick() {
    m_listModel->set_show_files(CheckFileOn->isChecked());
}

std::string TFormConfigMain::treeFolder() const {
    return m_picked;
}

std::vector<std::string> TFormConfigMain::selectedListItems() const {
    QModelIndexList rows = FileListView->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<std::string> items;
    for (const QModelIndex& index : rows)
        items.push_back(m_listModel->path(index));
    return items;
}

void TFormConfigMain::selectTreeFolder(const std::string& path) {
    if (select_folder(DirTreeView, m_treeModel, path))
        DirTreeViewChange();
}

void TFormConfigMain::DirTreeViewChange() {
    if (m_removing)
        return;
    // The list shows the tree's folder and follows it.
    m_picked = m_treeModel->path(DirTreeView->currentIndex());
    FileListView->clearSelection();
    m_listModel->set_folder(m_picked);
    updateStatusLine();
}

void TFormConfigMain::refreshFolders() {
    m_treeModel->refresh();
    m_listModel->refresh();
    if (m_picked.empty() || platform::path_kind(m_picked) == platform::PathKind::directory)
        return;
    // Gone: nothing else becomes the picked folder; the tree shows none,
    // the list nothing, and the status line says so.
    if (DirTreeView->currentIndex().isValid()) {
        m_removing = true;
        DirTreeView->setCurrentIndex(QModelIndex());
        m_removing = false;
    }
    if (!m_listModel->folder().empty())
        m_listModel->set_folder(std::string());
    updateStatusLine();
}

void TFormConfigMain::updateStatusLine() {
    StatusBar1->clearMessage();
    StatusBar1->showMessage(path_to_qt(m_model.status(treeFolder())));
}

void TFormConfigMain::ButtonDvONClick() {
    m_model.index_on(selectedListItems(), treeFolder());
    updateStatusLine();
}

void TFormConfigMain::ButtonDvOFFClick() {
    m_model.index_off(selectedListItems(), treeFolder());
    updateStatusLine();
}

void TFormConfigMain::ButtonEditConfClick() {
    m_model.edit_conf(selectedListItems(), treeFolder());
}

void TFormConfigMain::ButtonEditIniClick() {
    m_model.edit_ini();
}

void TFormConfigMain::ButtonSettingClick() {
    m_model.show_settings();
}

void TFormConfigMain::ButtonTestClick() {
    m_model.display_test(selectedListItems(), treeFolder());
}
