#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include "actionediting/ActionKindEditors.h"
#include "engine/InputSources.h"

#include "BenchmarkSupport.h"

// The row sheet's parameter editor rebuilt as on a kind switch: made from the entry, laid out
// and painted once, offscreen. The target is one frame, 16 ms.
namespace tavlin {
namespace {

QApplication& editorApplication() { return bench::offscreenApplication(); }

// Twelve keyboard layouts, as a multilingual desktop may have.
class ManyLayouts final : public InputSourceProvider {
public:
    std::vector<PlatformInputSource> enabledInputSources() override {
        std::vector<PlatformInputSource> sources;
        for (int i = 0; i < 12; ++i)
            sources.push_back({"layout" + std::to_string(i), "Layout " + std::to_string(i), true, true, std::nullopt,
                               std::string("input-keyboard")});
        return sources;
    }
    std::optional<std::string> currentInputSourceID() override { return std::nullopt; }
    bool selectInputSource(const std::string&) override { return true; }
    bool canLoadImage(const std::string&) override { return false; }
};

using Kind = ActionConfigurationKind;
namespace p = actionparams;

struct Case {
    Kind kind;
    ActionParams params;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {Kind::notification, p::notification{"Hello"}},
        {Kind::openURL, p::openURL{"https://example.org", "/usr/share/applications/browser.desktop"}},
        {Kind::openApp, p::openApp{"/usr/share/applications/editor.desktop", true, false, "--new"}},
        {Kind::openFile, p::openFile{"/home/user/report.txt", "/usr/share/applications/viewer.desktop"}},
        {Kind::openFolder, p::openFolder{"/home/user", std::nullopt}},
        {Kind::runAppleScript, p::runAppleScript{"/home/user/script.sh"}},
        {Kind::menuCommand, p::menuCommand{"Save As…"}},
        {Kind::executeFile, p::executeFile{"/usr/bin/tool", std::string("-v")}},
        {Kind::simulateKeystroke, p::simulateKeystroke{0, true, false, false, false}},
        {Kind::switchInputMethod, p::switchInputMethod{"layout3"}},
        {Kind::continueFromInterruption, p::continueFromInterruption{0.05}},
        {Kind::stopKeySequenceAfterDelay, p::stopKeySequenceAfterDelay{0.5}},
        {Kind::getFrontmostApp, p::getFrontmostApp{}},
        {Kind::getLeaderKey, p::getLeaderKey{}},
    };
    return all;
}

void BM_ParamsEditorRebuild(benchmark::State& state) {
    editorApplication();
    ManyLayouts layouts;
    InputSourceManager::setProvider(&layouts);
    InputSourceManager::reloadSelectableInputSources();
    const Case& chosen = cases()[static_cast<std::size_t>(state.range(0))];
    ParamsEditorContext context;
    context.kind = chosen.kind;
    context.params = chosen.params;
    context.helperRunning = true;
    context.complexMode = true;
    context.setParams = [](const ActionParams&, Kind) {};
    context.registerFocusTarget = [](ActionFieldError, QWidget*) {};
    for (auto _ : state) {
        std::unique_ptr<QWidget> editor(makeParamsEditor(context));
        editor->show();
        benchmark::DoNotOptimize(editor->grab());
    }
    state.SetLabel(std::string(title(chosen.kind)));
    InputSourceManager::setProvider(nullptr);
    InputSourceManager::reloadSelectableInputSources();
}
BENCHMARK(BM_ParamsEditorRebuild)->DenseRange(0, 13)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tavlin
