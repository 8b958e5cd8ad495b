#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "actionediting/SheetFrame.h"
#include "flateditor/RowComposeSheet.h"
#include "flateditor/core/RowComposeSheetState.h"
#include "platform/files/UserDefaults.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace tavlin {
class ConfigurationLeaderKeyView;
}

namespace tavlin::flateditor {

class ActionDescriptionEditorView;
class ApplicationScopeEditorView;
class TriggerKeyEditorView;

// The row compose sheet on screen: a window-modal dialog over the sheet's state, which holds
// every value; each control changes the state and the dialog shows it again. It is opened with
// open() and deletes itself when it closes.
class RowComposeSheetDialog final : public SheetFrame {
public:
    RowComposeSheetDialog(RowComposeSheet::SheetItem item, QWidget* parent);
    ~RowComposeSheetDialog() override;

    // The presenter the list's requests go to: each opens a sheet over the window `parent` answers.
    static RowComposeSheet::Presenter presenter(std::function<QWidget*()> parent);

    // Esc and the close box: the Cancel of the editable sheet, a plain close of the read-only one.
    void reject() override;
    void save() override;

    const RowComposeSheetState& state() const { return state_; }

    TriggerKeyEditorView* triggerKeys() const { return triggerKeys_; }
    QGroupBox* triggerKeysGroup() const { return triggerKeysGroup_; }
    QLabel* triggerKeysTitle() const { return triggerKeysTitle_; }
    QGroupBox* scopeGroup() const { return scopeGroup_; }
    ApplicationScopeEditorView* scopeEditor() const { return scopeEditor_; }
    QGroupBox* leaderKeyGroup() const { return leaderKeyGroup_; }
    ConfigurationLeaderKeyView* leaderKeyEditor() const { return leaderKeyEditor_; }
    QComboBox* kindPicker() const { return kindPicker_; }
    QWidget* paramsEditor() const { return paramsEditor_; }
    ActionDescriptionEditorView* descriptionEditor() const { return descriptionEditor_; }
    QLabel* validationLabel() const { return validationLabel_; }
    QCheckBox* complexModeToggle() const { return complexModeToggle_; }
    // The control a focus target stands for, if it is on screen now.
    QWidget* focusTarget(RowComposeSheet::Field field) const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    // `layout` is the scrolled content's, `outer` holds the content and what stays below it.
    void buildEditable(QVBoxLayout* layout, QVBoxLayout* outer);
    void buildReadOnly(QVBoxLayout* layout, QVBoxLayout* outer);
    // The size the content wants, within the screen's free area (the content scrolls beyond
    // it), and the sheet moved into that area.
    void fitToScreen(bool force);
    // What a shown or hidden control changed, laid out and fitted in the same turn, so that the
    // next click lands where the sheet shows its target.
    void relayout();
    void keysChanged();
    void showKeys();
    void showConflict();
    void showScope();
    void showValidation();
    void showComplexMode();
    void orderTabs();
    void rebuildParamsEditor();
    void focus(RowComposeSheet::Field field);

    RowComposeSheetState state_;
    std::shared_ptr<UserDefaults> store_;
    UserDefaults::ObserverToken storeObserver_ = 0;
    bool shownOnce_ = false;
    bool framedOnce_ = false;
    QSize fittedHint_;
    QScrollArea* scroller_ = nullptr;
    QWidget* content_ = nullptr;
    TriggerKeyEditorView* triggerKeys_ = nullptr;
    QGroupBox* triggerKeysGroup_ = nullptr;
    QLabel* triggerKeysTitle_ = nullptr;
    QGroupBox* scopeGroup_ = nullptr;
    ApplicationScopeEditorView* scopeEditor_ = nullptr;
    QGroupBox* leaderKeyGroup_ = nullptr;
    ConfigurationLeaderKeyView* leaderKeyEditor_ = nullptr;
    QComboBox* kindPicker_ = nullptr;
    QVBoxLayout* paramsSlot_ = nullptr;
    QWidget* paramsEditor_ = nullptr;
    ActionDescriptionEditorView* descriptionEditor_ = nullptr;
    QLabel* validationLabel_ = nullptr;
    QCheckBox* complexModeToggle_ = nullptr;
    std::map<RowComposeSheet::Field, QWidget*> paramsFocusTargets_;
};

} // namespace tavlin::flateditor
