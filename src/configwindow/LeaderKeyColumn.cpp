#include "configwindow/LeaderKeyColumn.h"

#include <QtGui/QAccessible>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QAccessibleWidget>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QVBoxLayout>

#include "actionediting/ConfigurationLeaderKeyView.h"
#include "configwindow/ConfigurationAddHotKeySheet.h"
#include "configwindow/ConfigurationHotKeyRow.h"
#include "configwindow/core/LeaderKeyOperations.h"
#include "engine/HotKeyManager.h"
#include "platform/qt/FocusRing.h"

namespace tavlin {

namespace {

// Read out as the button it acts as, which a screen reader can press.
class AccessibleClickableLabel final : public QAccessibleWidget {
public:
    AccessibleClickableLabel(QWidget* label, std::function<void()> press)
        : QAccessibleWidget(label, QAccessible::Button), press_(std::move(press)) {}
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString& name) override {
        if (name == pressAction()) press_();
        else QAccessibleWidget::doAction(name);
    }

private:
    std::function<void()> press_;
};

// A text that acts as a link: a click, or Return or Space while it has focus.
class ClickableLabel final : public QLabel {
public:
    ClickableLabel(const QString& text, std::function<void()> activated, QWidget* parent)
        : QLabel(text, parent), activated_(std::move(activated)) {
        // Registered here: a factory would come after the stock one, which reads a label as text.
        QAccessible::registerAccessibleInterface(new AccessibleClickableLabel(this, [this] { activated_(); }));
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(text);
        // Room for the focus ring around the text.
        setContentsMargins(3, 2, 3, 2);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (!hasFocus()) return;
        // Round the text, not the whole width the column gives the label.
        const QRect text = style()->itemTextRect(fontMetrics(), contentsRect(), alignment(), true, this->text());
        qt::drawFocusRing(*this, text.marginsAdded(contentsMargins()).intersected(rect()));
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) activated_();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
            activated_();
            return;
        }
        QLabel::keyPressEvent(event);
    }

private:
    std::function<void()> activated_;
};

// The leader keys are read out as the list they are, not as fillers around their texts.
QAccessibleInterface* accessibleLeaderKeyRow(const QString&, QObject* object) {
    if (auto* row = dynamic_cast<ConfigurationHotKeyRow*>(object)) return new QAccessibleWidget(row, QAccessible::ListItem);
    return nullptr;
}

// As wide as what it holds, as tall as it is made.
class EditorsArea final : public QScrollArea {
public:
    explicit EditorsArea(QWidget* parent) : QScrollArea(parent) {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFocusPolicy(Qt::NoFocus);
        viewport()->setAutoFillBackground(false);
    }
    QSize sizeHint() const override {
        if (!widget()) return QScrollArea::sizeHint();
        QSize size = widget()->sizeHint();
        if (size.height() > height()) size.rwidth() += verticalScrollBar()->sizeHint().width();
        return {size.width(), height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

} // namespace

LeaderKeyColumn::LeaderKeyColumn(ConfigurationWindowModel& model, HotKeyManager& manager, QWidget* parent)
    : QWidget(parent), model_(model), manager_(manager) {
    [[maybe_unused]] static const bool announced = (QAccessible::installFactory(accessibleLeaderKeyRow), true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* title = new QLabel(QStringLiteral("Leader Key:"), this);
    title->setAccessibleName(title->text());
    layout->addWidget(title);
    editorsArea_ = new EditorsArea(this);
    auto* editors = new QWidget(editorsArea_);
    editors_ = new QVBoxLayout(editors);
    editors_->setContentsMargins(0, 0, 0, 0);
    editors_->setSpacing(4);
    addMore_ = new ClickableLabel(
        QStringLiteral("Click to add more"), [this] { showAddSheet(); }, editors);
    QFont footnote = addMore_->font();
    footnote.setPointSizeF(footnote.pointSizeF() * 0.85);
    addMore_->setFont(footnote);
    editors_->addWidget(addMore_);
    editors_->addStretch();
    editorsArea_->setWidget(editors);
    editors->setAutoFillBackground(false);
    {
        // The single editor's height, measured on one that stores nothing: a single modifier
        // leaves every recorded shortcut as it is.
        const ConfigurationLeaderKeyView measure(shortcutkit::Name("prefs-window"),
                                                 HotKey::singleModifier(HotKey::SingleTapModifier::command), nullptr, nullptr,
                                                 this);
        editorsArea_->setFixedHeight(measure.sizeHint().height() + editors_->spacing() + addMore_->sizeHint().height());
    }
    layout->addWidget(editorsArea_);
    token_ = model_.addObserver({nullptr, [this] { refresh(); }});
    refresh();
}

LeaderKeyColumn::~LeaderKeyColumn() { model_.removeObserver(token_); }

void LeaderKeyColumn::clearEditors() {
    // Later: this may run inside a handler of the widget it removes.
    if (editor_) editor_->deleteLater();
    editor_ = nullptr;
    for (auto* row : rows_) row->deleteLater();
    rows_.clear();
    shownRows_.clear();
    // All but the add link and the stretch under it.
    while (editors_->count() > 2) delete editors_->takeAt(0);
}

void LeaderKeyColumn::addEditor(QWidget* widget) {
    editors_->insertWidget(editors_->count() - 2, widget);
    editors_->activate();
    editorsArea_->updateGeometry();
}

void LeaderKeyColumn::refresh() {
    const auto configuration = model_.configuration();
    // A load error shows no column; the editor keeps what it showed.
    if (!configuration) return;
    const std::vector<HotKey> hotKeys = configuration->hotKeys;
    addMore_->setVisible(!hotKeys.empty());
    const std::optional<HotKey> first = hotKeys.empty() ? std::nullopt : std::optional<HotKey>(hotKeys.front());
    if (hotKeys.size() < 2) {
        if (editor_) {
            editor_->sync(first);
            return;
        }
        clearEditors();
        editor_ = new ConfigurationLeaderKeyView(
            shortcutkit::Name("prefs-window"), first,
            [this](const std::optional<HotKey>& hotKey) { replaceLeaderHotKey(model_, manager_, hotKey); },
            // Leader keys stay armed while this recorder has focus.
            [](bool) {}, this);
        addEditor(editor_);
        if (editorsRemade_) editorsRemade_();
        return;
    }
    if (!editor_ && shownRows_ == hotKeys) return;
    clearEditors();
    for (std::size_t index = 0; index < hotKeys.size(); ++index) {
        const HotKey hotKey = hotKeys[index];
        auto* row = new ConfigurationHotKeyRow(
            hotKey, [this, index, hotKey] { removeHotKey(model_, manager_, index, hotKey); }, this);
        addEditor(row);
        rows_.push_back(row);
    }
    shownRows_ = hotKeys;
    if (editorsRemade_) editorsRemade_();
}

void LeaderKeyColumn::showAddSheet() {
    if (addSheet_) return;
    addSheet_ = new ConfigurationAddHotKeySheet([this](const HotKey& hotKey) { addHotKey(model_, manager_, hotKey); },
                                                std::nullopt, shortcutkit::Name("extra_hotkey"), this);
    addSheet_->setAttribute(Qt::WA_DeleteOnClose);
    addSheet_->setWindowModality(Qt::WindowModal);
    addSheet_->open();
}

} // namespace tavlin
