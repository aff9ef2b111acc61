#include "tool/vanecfg/get_dir_form.h"

#include "tool/vanecfg/folder_tree.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

TGetDirForm::TGetDirForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dirvane - フォルダ選択"));
    // A dialog border with only the system menu: no help or size buttons.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    resize(348, 290);

    // No automatic refresh: the picker shows the folders as they were when
    // each branch was opened.
    m_model = new FolderTreeModel(this);
    DirTree = make_folder_tree(this, m_model);
    DirTree->setObjectName(QStringLiteral("DirTree"));
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DirTree, 1);
    layout->addLayout(buttons);

    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(DirTree, &QTreeView::doubleClicked, this, &TGetDirForm::DirTreeDblClick);
}

void TGetDirForm::selectFolder(const std::string& path) {
    select_folder(DirTree, m_model, path);
}

std::string TGetDirForm::currentFolder() const {
    return m_model->path(DirTree->currentIndex());
}

void TGetDirForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TGetDirForm::done(int result) {
    FormClose(result);
    QDialog::done(result);
}

void TGetDirForm::FormShow() {
    m_chosenPath.clear();
}

void TGetDirForm::FormClose(int result) {
    m_chosenPath = result == QDialog::Accepted ? currentFolder() : std::string();
}

void TGetDirForm::DirTreeDblClick() {
    accept();
}
