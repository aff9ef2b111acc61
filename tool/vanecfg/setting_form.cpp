#include "tool/vanecfg/setting_form.h"

#include "tool/registration.h"
#include "tool/vanecfg/get_dir_form.h"
#include "tool/vanecfg/qt_text.h"

#include "platform/file.h"
#include "platform/registry.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>

namespace {

// labelled_row adds a label and below it `edit` with `button` on its right.
void labelled_row(QVBoxLayout* layout, QLabel* label, QWidget* edit, QWidget* button) {
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    if (button != nullptr)
        row->addWidget(button);
    layout->addLayout(row);
}

QPushButton* make_button(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QLineEdit* make_edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// An edit keeps the bytes it was given as long as its text is the one shown
// for them: a setting whose bytes are no text in the locale (a Shift_JIS
// path) is written back exactly, and only a text that was typed is encoded.
constexpr const char* bytes_property = "vanecfgBytes";
constexpr const char* shown_property = "vanecfgShown";

void set_bytes(QLineEdit* edit, const std::string& bytes) {
    const QString shown = path_to_qt(bytes);
    edit->setText(shown);
    edit->setProperty(bytes_property, QByteArray::fromStdString(bytes));
    edit->setProperty(shown_property, shown);
}

std::string bytes_of(const QLineEdit* edit) {
    if (edit->text() == edit->property(shown_property).toString())
        return edit->property(bytes_property).toByteArray().toStdString();
    return path_from_qt(edit->text());
}

// The user agents keep their bytes in the items' data in the same way.
void add_agent(QComboBox* combo, const std::string& bytes) {
    combo->addItem(to_qt(bytes), QByteArray::fromStdString(bytes));
}

std::string agent_bytes(const QComboBox* combo, const QString& text) {
    const int item = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        return combo->itemData(item).toByteArray().toStdString();
    return text.toStdString();
}

// show_filter_labels gives the types of a file dialog the labels of
// `filter` ("Label|patterns|..."), which the toolkit would show with their
// patterns added.
void show_filter_labels(QFileDialog& dialog, std::string_view filter) {
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (types == nullptr)
        return;
    const QStringList parts = to_qt(filter).split(QLatin1Char('|'));
    for (int i = 0; i < types->count() && 2 * i < parts.size(); ++i)
        types->setItemText(i, parts[2 * i]);
}

// ExecutableFiles shows, while it is on, only the folders and the files
// that may be run: here programs are known by their rights, not by a name
// pattern.
class ExecutableFiles : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setOn(bool on) {
        if (on == m_on)
            return;
        m_on = on;
        invalidateFilter();
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!m_on || files == nullptr)
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        return files->isDir(index) || files->fileInfo(index).isExecutable();
    }

  private:
    bool m_on = true;
};

// choose_file asks for an existing file, starting at `current`, with the
// file types of `filter` in its order. The toolkit's own dialog, so that
// its texts follow the application's translations. With `programsFirst`
// the first type is the files that may be run, and the types are shown
// by their labels alone. "" when cancelled.
QString choose_file(QWidget* parent, std::string_view filter, const QString& current,
                    bool programsFirst) {
    QFileDialog dialog(parent, QString(), current, qt_file_filter(filter));
    dialog.setObjectName(QStringLiteral("FileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!programsFirst)
        show_filter_labels(dialog, filter);
    if (programsFirst) {
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        auto* programs = new ExecutableFiles(&dialog);
        dialog.setProxyModel(programs);
        QObject::connect(&dialog, &QFileDialog::filterSelected, programs,
                         [&dialog, programs](const QString& chosen) {
                             programs->setOn(dialog.nameFilters().indexOf(chosen) == 0);
                         });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().front();
}

} // namespace

TSettingForm::TSettingForm(ToolUi& ui, std::string registryPath, QWidget* parent)
    : QDialog(parent), SettingFormModel(ui, std::move(registryPath)) {
    setWindowTitle(QStringLiteral("Dirvane 設定"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    resize(338, 252);

    EditIniDir = make_edit(this, "EditIniDir");
    ButtonGetIniDir = make_button(this, "ButtonGetIniDir", QStringLiteral("..."));
    EditConfName = make_edit(this, "EditConfName");
    ButtonRegist = make_button(this, "ButtonRegist", to_qt(regist_add_caption));
    ButtonRegist->setEnabled(false); // until the dialog is shown
    EditConfTemplate = make_edit(this, "EditConfTemplate");
    ButtonGetConfTmplt = make_button(this, "ButtonGetConfTmplt", QStringLiteral("..."));
    EditEditor = make_edit(this, "EditEditor");
    ButtonSetEditor = make_button(this, "ButtonSetEditor", QStringLiteral("..."));
    Label1 = new QLabel(QStringLiteral("テスト用の UserAgent 文字列"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboUA = new QComboBox(this);
    ComboUA->setObjectName(QStringLiteral("ComboUA"));
    ComboUA->setEditable(true);
    ComboUA->setInsertPolicy(QComboBox::NoInsert); // the list changes only on OK
    // As wide as the dialog lets it be, whatever length the stored user
    // agents have; the drop-down list shows them whole.
    ComboUA->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboUA->setMinimumContentsLength(16);
    Label1->setBuddy(ComboUA);
    ButtonEdit = make_button(this, "ButtonEdit", QStringLiteral("テンプレートの編集"));
    ButtonOK = make_button(this, "ButtonOK", QStringLiteral("OK"));
    ButtonOK->setDefault(true);
    ButtonCancel = make_button(this, "ButtonCancel", QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);
    labelled_row(layout, new QLabel(QStringLiteral("Dirvane実行ファイルの所在(フォルダ)"), this),
                 EditIniDir, ButtonGetIniDir);
    labelled_row(layout, new QLabel(QStringLiteral("インデックス表示設定ファイル名"), this),
                 EditConfName, ButtonRegist);
    labelled_row(layout,
                 new QLabel(QStringLiteral("インデックス表示設定ファイルのテンプレート"), this),
                 EditConfTemplate, ButtonGetConfTmplt);
    labelled_row(layout,
                 new QLabel(QStringLiteral("テキストファイルの編集に使用するエディタ"), this),
                 EditEditor, ButtonSetEditor);
    labelled_row(layout, Label1, ComboUA, nullptr);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ButtonEdit);
    bottom->addStretch();
    bottom->addWidget(ButtonOK);
    bottom->addWidget(ButtonCancel);
    layout->addStretch();
    layout->addLayout(bottom);
    // A dialog border: the designed size, or what the texts need in the
    // font the dialog got, and no resizing.
    setFixedSize(size().expandedTo(sizeHint()));

    connect(ButtonOK, &QPushButton::clicked, this, &TSettingForm::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonGetIniDir, &QPushButton::clicked, this, &TSettingForm::ButtonGetIniDirClick);
    connect(ButtonGetConfTmplt, &QPushButton::clicked, this,
            &TSettingForm::ButtonGetConfTmpltClick);
    connect(ButtonSetEditor, &QPushButton::clicked, this, &TSettingForm::ButtonSetEditorClick);
    connect(ButtonEdit, &QPushButton::clicked, this, &TSettingForm::ButtonEditClick);
    connect(ButtonRegist, &QPushButton::clicked, this, &TSettingForm::ButtonRegistClick);

    LoadSettings(); // FormCreate: the controls from the tool settings file
}

ToolSettings TSettingForm::settings() const {
    ToolSettings s;
    s.iniDir = bytes_of(EditIniDir);
    s.confName = bytes_of(EditConfName);
    s.confTemplate = bytes_of(EditConfTemplate);
    s.editor = bytes_of(EditEditor);
    for (int i = 0; i < ComboUA->count(); ++i)
        s.userAgents.push_back(ComboUA->itemData(i).toByteArray().toStdString());
    s.userAgent = agent_bytes(ComboUA, ComboUA->currentText());
    return s;
}

void TSettingForm::LoadSettings() {
    const ToolSettings s = load_settings();
    set_bytes(EditIniDir, s.iniDir);
    set_bytes(EditConfName, s.confName);
    set_bytes(EditConfTemplate, s.confTemplate);
    ComboUA->clear();
    for (const std::string& agent : s.userAgents)
        add_agent(ComboUA, agent);
    ComboUA->setCurrentIndex(0);
    ComboUA->setEditText(to_qt(s.userAgent));
}

void TSettingForm::SaveSettings() {
    ToolSettings s = settings();
    save_settings(s); // a failure is shown
    // The combo shows the list as it was written.
    const QString text = ComboUA->currentText();
    ComboUA->clear();
    for (const std::string& agent : s.userAgents)
        add_agent(ComboUA, agent);
    ComboUA->setEditText(text);
}

void TSettingForm::ButtonOKClick() {
    // The folder settings file's name is a name, never a path.
    if (!valid_conf_name(bytes_of(EditConfName))) {
        m_ui.show_error(conf_name_message);
        EditConfName->setFocus();
        return;
    }
    accept();
}

bool TSettingForm::ShowSettings(const std::string& path) {
    use_settings_path(path);
    LoadSettings();
    const std::string editor = bytes_of(EditEditor);
    const bool ok = exec() == QDialog::Accepted;
    if (ok) {
        SaveSettings();
    } else {
        LoadSettings();
        set_bytes(EditEditor, editor); // not stored: only the reload would lose it
    }
    return ok;
}

void TSettingForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TSettingForm::FormShow() {
    const RegistButton state = regist_state();
    ButtonRegist->setText(to_qt(state.caption));
    ButtonRegist->setEnabled(state.enabled);
    // The tool tip says why the button cannot be used (a disabled button
    // shows its tool tip too).
    ButtonRegist->setToolTip(
        to_qt(state.reason).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TSettingForm::ButtonRegistClick() {
    if (regist_change())
        FormShow();
}

void TSettingForm::ButtonGetIniDirClick() {
    if (m_picker == nullptr)
        return;
    m_picker->selectFolder(bytes_of(EditIniDir));
    if (m_picker->exec() == QDialog::Accepted && !m_picker->chosenPath().empty())
        set_bytes(EditIniDir, m_picker->chosenPath());
}

void TSettingForm::ButtonGetConfTmpltClick() {
    const QString file = choose_file(this, template_filter, EditConfTemplate->text(), false);
    if (!file.isEmpty())
        EditConfTemplate->setText(file);
}

void TSettingForm::ButtonSetEditorClick() {
    const QString file = choose_file(this, editor_filter, EditEditor->text(), true);
    if (!file.isEmpty())
        EditEditor->setText(file);
}

void TSettingForm::ButtonEditClick() {
    edit_template();
}
