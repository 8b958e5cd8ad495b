#include "platform/qt/QtOpenPanel.h"

#include <map>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QThread>

#include "platform/qt/PlainText.h"

namespace tavlin::qt {

namespace {

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString qtPath(const FileUrl& url) { return QFile::decodeName(QByteArray::fromStdString(url.path())); }

// Greys out the items the panel's delegate does not enable, and keeps folders ahead of files.
class EnabledItemsProxy : public QSortFilterProxyModel {
public:
    EnabledItemsProxy(std::weak_ptr<OpenPanelDelegate> delegate, QObject* parent)
        : QSortFilterProxyModel(parent), delegate_(std::move(delegate)) {}

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags flags = QSortFilterProxyModel::flags(index);
        auto delegate = delegate_.lock();
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!delegate || !files || !index.isValid()) return flags;
        QModelIndex source = mapToSource(index);
        if (!delegate->shouldEnable(FileUrl(localPath(files->filePath(source)), files->isDir(source)))) {
            flags &= ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        return flags;
    }

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files && left.column() == 0 && files->isDir(left) != files->isDir(right)) return files->isDir(left);
        return QSortFilterProxyModel::lessThan(left, right);
    }

private:
    std::weak_ptr<OpenPanelDelegate> delegate_;
};

} // namespace

class QtOpenPanel::Dialog : public QFileDialog {
public:
    Dialog(QWidget* parent, const OpenPanel::Configuration& configuration) : QFileDialog(parent), configuration_(configuration) {
        setOption(QFileDialog::DontUseNativeDialog, true);
        setOption(QFileDialog::ReadOnly, !configuration.canCreateDirectories);
        setFileMode(!configuration.canChooseFiles           ? QFileDialog::Directory
                    : configuration.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                            : QFileDialog::ExistingFile);
        if (configuration.showsHiddenFiles) setFilter(filter() | QDir::Hidden);
        proxy_ = new EnabledItemsProxy(configuration.delegate, this);
        setProxyModel(proxy_);

        if (configuration.title) setWindowTitle(QString::fromStdString(*configuration.title));
        if (configuration.prompt) setLabelText(QFileDialog::Accept, QString::fromStdString(*configuration.prompt));
        if (configuration.nameFieldLabel)
            setLabelText(QFileDialog::FileName, QString::fromStdString(*configuration.nameFieldLabel));

        // Messages and refusals name paths.
        messageLabel_ = plainLabel(QString(), this);
        messageLabel_->setWordWrap(true);
        messageLabel_->setText(QString::fromStdString(configuration.message.value_or(std::string())));
        messageLabel_->setVisible(configuration.message.has_value());
        errorLabel_ = plainLabel(QString(), this);
        errorLabel_->setWordWrap(true);
        errorLabel_->setStyleSheet(QStringLiteral("font-weight: bold"));
        errorLabel_->hide();
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            int columns = std::max(1, grid->columnCount());
            grid->addWidget(messageLabel_, grid->rowCount(), 0, 1, columns);
            grid->addWidget(errorLabel_, grid->rowCount(), 0, 1, columns);
        }

        if (configuration.directoryURL) {
            QString start = qtPath(*configuration.directoryURL);
            // Opening at a file shows its folder with the file selected.
            if (QFileInfo(start).isDir()) setDirectory(start);
            else selectFile(start);
        }
    }

    QSortFilterProxyModel* proxy() const { return proxy_; }
    QLabel* messageLabel() const { return messageLabel_; }
    QLabel* errorLabel() const { return errorLabel_; }
    const std::vector<FileUrl>& chosen() const { return chosen_; }

    // Decides the choice here rather than in QFileDialog, which cannot take a file and a folder
    // from the same dialog and knows nothing of the delegate.
    void accept() override {
        QStringList selection = selectedFiles();
        if (selection.isEmpty()) return;
        if (!configuration_.allowsMultipleSelection) selection = selection.mid(0, 1);
        std::vector<FileUrl> chosen;
        for (const QString& path : selection) {
            QFileInfo info(path);
            if (!info.exists()) return refuse(QString());
            if (info.isDir() && !configuration_.canChooseDirectories) {
                setDirectory(path);
                return;
            }
            if (!info.isDir() && !configuration_.canChooseFiles) return refuse(QString());
            FileUrl url(localPath(info.absoluteFilePath()), info.isDir());
            if (auto delegate = configuration_.delegate.lock()) {
                if (auto refusal = delegate->validate(url)) return refuse(QString::fromStdString(*refusal));
            }
            chosen.push_back(url.withSecurityScope(url.path()));
        }
        chosen_ = std::move(chosen);
        errorLabel_->hide();
        // Not QFileDialog::accept: it would choose again, by its own rules, what was just checked.
        QDialog::accept(); // NOLINT(bugprone-parent-virtual-call)
    }

private:
    void refuse(const QString& text) {
        QApplication::beep();
        errorLabel_->setText(text);
        errorLabel_->setVisible(!text.isEmpty());
    }

    OpenPanel::Configuration configuration_;
    EnabledItemsProxy* proxy_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    std::vector<FileUrl> chosen_;
};

namespace {

// The widgets handed out as handles. A handle is never turned back into a pointer unless it
// names a widget still alive: any other value (noParentWindow, a stale or made-up handle)
// means no parent.
std::map<std::uintptr_t, QPointer<QWidget>>& knownWindows() {
    static std::map<std::uintptr_t, QPointer<QWidget>> windows;
    return windows;
}

} // namespace

WindowHandle windowHandle(QWidget* window) {
    if (!window) return noParentWindow;
    const auto value = reinterpret_cast<std::uintptr_t>(window);
    auto& windows = knownWindows();
    std::erase_if(windows, [](const auto& entry) { return entry.second.isNull(); });
    windows[value] = window;
    return WindowHandle{value};
}

QWidget* widget(WindowHandle handle) {
    const auto& windows = knownWindows();
    const auto found = windows.find(handle.value);
    return found == windows.end() ? nullptr : found->second.data();
}

QtOpenPanel::QtOpenPanel() = default;

// The panel may end inside the dialog's own signal, so the dialog goes later.
QtOpenPanel::~QtOpenPanel() {
    if (dialog_) dialog_->deleteLater();
}

QFileDialog* QtOpenPanel::prepare(QWidget* parent) {
    if (dialog_) dialog_->deleteLater();
    dialog_ = new Dialog(parent, configuration);
    return dialog_;
}

QSortFilterProxyModel* QtOpenPanel::itemsModel() const { return dialog_ ? dialog_->proxy() : nullptr; }
QLabel* QtOpenPanel::messageLabel() const { return dialog_ ? dialog_->messageLabel() : nullptr; }
QLabel* QtOpenPanel::errorLabel() const { return dialog_ ? dialog_->errorLabel() : nullptr; }

int QtOpenPanel::runModal() {
    prepare(nullptr);
    // exec() answers QDialog::Accepted (1) or Rejected (0), the same values as ok and cancel;
    // a dialog ended with done(stop) or done(abort) answers those.
    return dialog_->exec();
}

void QtOpenPanel::beginSheet(std::optional<WindowHandle> window, std::function<void(int)> handler) {
    QWidget* parent = window ? widget(*window) : nullptr;
    prepare(parent);
    sheetHandler_ = std::move(handler);
    QObject::connect(dialog_, &QDialog::finished, dialog_, [this](int result) {
        auto handler = std::move(sheetHandler_);
        sheetHandler_ = nullptr;
        if (handler) handler(result); // may end this panel
    });
    dialog_->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog_->open();
    dialog_->raise();
    dialog_->activateWindow();
}

std::vector<FileUrl> QtOpenPanel::urls() const { return dialog_ ? dialog_->chosen() : std::vector<FileUrl>{}; }

std::unique_ptr<OpenPanel> QtOpenPanelProvider::makePanel() { return std::make_unique<QtOpenPanel>(); }

// X11 has no application activation of its own; the panel raises and activates itself.
void QtOpenPanelProvider::activateApplication() {}

bool QtOpenPanelProvider::isMainThread() {
    auto* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void QtOpenPanelProvider::runOnMainThread(std::function<void()> work) {
    auto* app = QCoreApplication::instance();
    if (!app) {
        work();
        return;
    }
    QMetaObject::invokeMethod(
        app, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

void installQtOpenPanelProvider() { setOpenPanelProvider(std::make_shared<QtOpenPanelProvider>()); }

} // namespace tavlin::qt
