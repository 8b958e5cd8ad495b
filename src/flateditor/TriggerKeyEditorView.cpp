#include "flateditor/TriggerKeyEditorView.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "actionediting/KeyTypeAhead.h"
#include "flateditor/SymbolIcons.h"
#include "model/KeyNames.h"

namespace tavlin::flateditor {
namespace {

QString qString(const std::string& text) { return QString::fromStdString(text); }

// A row of many keys scrolls instead of widening the sheet past the screen.
constexpr int widestKeyRow = 600;

} // namespace

TriggerKeyEditorView::TriggerKeyEditorView(const std::vector<TriggerKeyPickerItem>& items, Handlers handlers, QWidget* parent)
    : QWidget(parent), handlers_(std::move(handlers)) {
    setAccessibleName(QStringLiteral("Action trigger keys"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    keyScroller_ = new QScrollArea(this);
    keyScroller_->setAccessibleName(QStringLiteral("Trigger keys"));
    keyScroller_->setFrameShape(QFrame::NoFrame);
    // Its keys take the focus; the row around them is no stop of its own.
    keyScroller_->setFocusPolicy(Qt::NoFocus);
    keyScroller_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    keyScroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    keyScroller_->setWidgetResizable(true);
    keyRow_ = new QWidget(keyScroller_);
    keyLayout_ = new QHBoxLayout(keyRow_);
    keyLayout_->setContentsMargins(0, 4, 0, 4);
    keyLayout_->setSpacing(0);
    keyScroller_->setWidget(keyRow_);
    layout->addWidget(keyScroller_);

    auto* editorRow = new QHBoxLayout();
    // On X11 a combo box is read out by its current item; the label says what it is for.
    auto* pickerLabel = new QLabel(QStringLiteral("Key: "), this);
    pickerLabel->setTextFormat(Qt::PlainText);
    picker_ = new QComboBox(this);
    pickerLabel->setBuddy(picker_);
    picker_->setAccessibleName(QStringLiteral("Add a key"));
    picker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    picker_->setMaxVisibleItems(20);
    for (const auto& item : items)
        picker_->addItem(qString(item.title), item.keyCode ? QVariant::fromValue<qlonglong>(*item.keyCode) : QVariant());
    installKeyTypeAhead(*picker_);
    picker_->installEventFilter(this);
    // Filters run newest first: these see the list's keys before the picker's own handling.
    picker_->view()->installEventFilter(this);
    picker_->view()->window()->installEventFilter(this);
    connect(picker_, &QComboBox::activated, this, &TriggerKeyEditorView::picked);
    editorRow->addWidget(pickerLabel);
    editorRow->addWidget(picker_);
    deleteAll_ = new QPushButton(QStringLiteral("Delete All Keys"), this);
    deleteAll_->setAccessibleName(deleteAll_->text());
    deleteAll_->setAutoDefault(false);
    connect(deleteAll_, &QPushButton::clicked, this, [this] {
        if (handlers_.deleteAll) handlers_.deleteAll();
    });
    editorRow->addWidget(deleteAll_);
    editorRow->addStretch(1);
    layout->addLayout(editorRow);

    conflict_ = new QLabel(this);
    conflict_->setTextFormat(Qt::PlainText);
    conflict_->setFocusPolicy(Qt::StrongFocus);
    QFont small = conflict_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    conflict_->setFont(small);
    conflict_->hide();
    layout->addWidget(conflict_);

    setKeys({});
}

void TriggerKeyEditorView::setKeys(const std::vector<std::int64_t>& keys) {
    // Later: the button clicked may be one of them, still in its own click.
    keyButtons_.clear();
    while (QLayoutItem* item = keyLayout_->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    const QIcon deleteIcon = symbolIcon("xmark.circle.fill");
    for (std::size_t position = 0; position < keys.size(); ++position) {
        // Children of a row already on screen count as hidden until shown, and the row's size,
        // fixed below, would leave them out.
        if (position > 0) {
            auto* gap = new QLabel(QStringLiteral(" "), keyRow_);
            gap->show();
            keyLayout_->addWidget(gap);
        }
        const QString name = qString(shownKeyName(keys[position]));
        auto* button = new QPushButton(deleteIcon, name, keyRow_);
        button->setLayoutDirection(Qt::RightToLeft); // the name first, then the mark
        button->setAutoDefault(false);
        button->setToolTip(QStringLiteral("Click to delete the key"));
        button->setAccessibleName(name);
        button->setAccessibleDescription(button->toolTip());
        connect(button, &QPushButton::clicked, this, [this, position] {
            if (handlers_.deleteKey) handlers_.deleteKey(position);
        });
        button->show();
        keyLayout_->addWidget(button);
        keyButtons_.push_back(button);
    }
    keyLayout_->addStretch(1);

    const bool any = !keys.empty();
    keyScroller_->setVisible(any);
    if (any) {
        const QSize content = keyRow_->sizeHint();
        const bool overflows = content.width() > widestKeyRow;
        keyScroller_->setFixedSize(std::min(content.width(), widestKeyRow),
                                   content.height() + (overflows ? keyScroller_->horizontalScrollBar()->sizeHint().height() : 0));
    }
    deleteAll_->setVisible(any);
    picker_->setItemText(0, qString(firstPickerItemTitle(!any)));
    picker_->setAccessibleDescription(picker_->itemText(0));
}

void TriggerKeyEditorView::setConflictMessage(const std::optional<std::string>& message) {
    conflict_->setVisible(message.has_value());
    conflict_->setText(message ? qString(*message) : QString());
    conflict_->setAccessibleName(conflict_->text());
}

void TriggerKeyEditorView::picked(int index) {
    listMayPick_ = false;
    {
        // The picker always shows its first item; setting it back is no choice of the user's.
        const QSignalBlocker block(picker_);
        picker_->setCurrentIndex(0);
    }
    const QVariant code = picker_->itemData(index);
    if (code.isValid() && handlers_.append) handlers_.append(code.toLongLong());
}

bool TriggerKeyEditorView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picker_->view()->window()) {
        if (event->type() == QEvent::Show) listMayPick_ = true;
        else if (event->type() == QEvent::Hide) listMayPick_ = false;
    } else if (watched == picker_->view() && !listMayPick_ &&
               (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        // An accessibility bridge holds each key press back and delivers it again once a screen
        // reader has seen it, after the list's Return already picked: that one would pick again.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    if (watched == picker_) {
        // On the closed box these would step through the keys, and each step would append one.
        if (event->type() == QEvent::Wheel) return true;
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            switch (key->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
            case Qt::Key_Home:
            case Qt::Key_End:
            case Qt::Key_Space:
                if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) break;
                picker_->showPopup();
                return true;
            default:
                // Typing a name opens the list where it finds the key, as the arrows do: the
                // closed box would append every key each letter passed on the way.
                if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) break;
                if (key->text().isEmpty() || !key->text().front().isPrint()) break;
                picker_->showPopup();
                // The list's type-ahead finds it.
                QCoreApplication::sendEvent(picker_->view(), event);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tavlin::flateditor
