#include "platform/linux/XdgWorkspace.h"

#include "platform/files/FileUrl.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <system_error>

#include <sys/stat.h>

#include "platform/base/Diagnostics.h"
#include "platform/files/Files.h"
#include "platform/linux/ApplicationCatalog.h"
#include "platform/linux/Processes.h"
#include "platform/linux/XdgPaths.h"

namespace tavlin::xdg {
namespace {

namespace fs = std::filesystem;

bool isDesktopEntryPath(const std::string& path) { return path.ends_with(".desktop"); }

std::string displayNameOfPath(const std::string& path) {
    std::string name = fs::path(path).filename().string();
    if (name.ends_with(".desktop")) name.resize(name.size() - std::string_view(".desktop").size());
    return name.empty() ? path : name;
}

// A bare name is a file in the current folder here, never a PATH search.
std::optional<fs::path> executableAtPath(const std::string& path) {
    return resolveExecutable(path.find('/') == std::string::npos ? "./" + path : path);
}

std::string systemMessage(int error) { return std::error_code(error, std::generic_category()).message(); }

// Runs `step` from timers on the queue, often at first and then less often, until it answers
// true. It holds nothing of the workspace, so the workspace may go away meanwhile.
void pollUntilDone(MainQueue& queue, std::function<bool()> step, double delay = 0.005) {
    queue.postAfter(delay, [&queue, step = std::move(step), delay] {
        if (step()) return;
        pollUntilDone(queue, step, std::min(delay * 2, 0.25));
    });
}

} // namespace

void XdgWorkspace::openURL(const std::string& url, Completion completion) {
    // xdg-open would read a leading "-" as an option of its own.
    if (url.empty() || url.front() == '-') {
        complete(std::move(completion), "xdg-open cannot open “" + url + "”");
        return;
    }
    const Spawned opener = spawnChild({"xdg-open", url});
    if (opener.pid < 0) {
        const std::string error = "xdg-open could not be started: " + systemMessage(opener.error);
        diag::printLine(diag::Category::actions, error);
        complete(std::move(completion), error);
        return;
    }
    pollUntilDone(queue_, [pid = opener.pid, url, completion = std::move(completion)] {
        const auto status = reapIfEnded(pid);
        if (!status) return false;
        std::optional<std::string> error;
        if (const auto failure = describeFailure(*status)) error = "xdg-open " + *failure + " for " + url;
        if (completion) completion(error);
        return true;
    });
}

void XdgWorkspace::activateFileViewerSelecting(const std::string& path) {
    if (showItems_ && showItems_(FileUrl(path, false).absoluteString())) return;
    Workspace::activateFileViewerSelecting(path);
}

void XdgWorkspace::openURLs(const std::vector<std::string>& urls, const std::string& applicationPath, Completion completion) {
    launch(prepare(applicationPath, urls), std::move(completion));
}

void XdgWorkspace::openApplication(const std::string& path, Completion completion) {
    if (windowSystem_ && isDesktopEntryPath(path)) {
        if (const auto entry = ApplicationCatalog::readFile(path)) {
            const auto running = windowSystem_->runningApplications(entry->id);
            if (!running.empty()) {
                windowSystem_->activate(running.front());
                complete(std::move(completion), std::nullopt);
                return;
            }
        }
    }
    launch(prepare(path, {}), std::move(completion));
}

std::optional<std::string> XdgWorkspace::executablePathOfApplication(const std::string& path) {
    std::optional<fs::path> executable;
    if (isDesktopEntryPath(path)) {
        if (const auto entry = ApplicationCatalog::readFile(path)) executable = resolveExecutable(entry->executable);
    } else {
        executable = executableAtPath(path);
    }
    if (!executable) return std::nullopt;
    return executable->string();
}

std::optional<RunningApplication> XdgWorkspace::frontmostApplication() {
    return windowSystem_ ? windowSystem_->frontmostApplication() : std::nullopt;
}

std::vector<RunningApplication> XdgWorkspace::runningApplications(const std::string& bundleIdentifier) {
    return windowSystem_ ? windowSystem_->runningApplications(bundleIdentifier) : std::vector<RunningApplication>{};
}

void XdgWorkspace::activate(const RunningApplication& application) {
    if (windowSystem_) windowSystem_->activate(application);
}

void XdgWorkspace::hide(const RunningApplication& application) {
    if (windowSystem_) windowSystem_->hide(application);
}

bool XdgWorkspace::isThisApplicationActive() { return windowSystem_ && windowSystem_->isThisApplicationActive(); }

std::optional<std::string> XdgWorkspace::runScript(const std::string& path, Completion completion) {
    const std::string script = "The script “" + fs::path(path).filename().string() + "”";
    const auto folder = files::applicationScriptsDirectory();
    std::error_code ec;
    const fs::path realFolder = folder ? fs::canonical(*folder, ec) : fs::path();
    if (!folder || ec) return script + " could not be run because the scripts folder is not available.";

    // Links and ".." are resolved first, so neither leads out of the folder.
    const fs::path realScript = fs::canonical(path, ec);
    if (ec) {
        if (ec == std::errc::no_such_file_or_directory) return script + " could not be run because it does not exist.";
        return script + " could not be run: " + ec.message() + ".";
    }
    if (!realScript.string().starts_with(realFolder.string() + "/")) {
        return script + " could not be run because it is not in the scripts folder “" + realFolder.string() + "”.";
    }
    struct stat info {};
    if (::stat(realScript.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return script + " could not be run because it is not a file.";
    }
    if ((info.st_mode & 0111) == 0) return script + " could not be run because it is not executable.";

    const Spawned child = spawnChild({realScript.string()});
    if (child.pid < 0) return script + " could not be run: " + systemMessage(child.error) + ".";
    pollUntilDone(queue_, [pid = child.pid, script, completion = std::move(completion)] {
        const auto status = reapIfEnded(pid);
        if (!status) return false;
        std::optional<std::string> error;
        if (const auto failure = describeFailure(*status)) error = script + " " + *failure + ".";
        if (completion) completion(error);
        return true;
    });
    return std::nullopt;
}

XdgWorkspace::Prepared XdgWorkspace::prepare(const std::string& applicationPath, const std::vector<std::string>& items) const {
    Prepared prepared;
    prepared.name = displayNameOfPath(applicationPath);
    const auto application = [&] { return "The application “" + prepared.name + "”"; };
    std::error_code ec;
    if (!fs::exists(applicationPath, ec)) {
        prepared.error = application() + " could not be launched because it was not found.";
        return prepared;
    }

    if (isDesktopEntryPath(applicationPath)) {
        prepared.desktopLaunch = applicationPath;
        prepared.items = items;
        return prepared;
    }
    const auto program = executableAtPath(applicationPath);
    if (!program) {
        prepared.error = application() + " could not be launched because it is not an application.";
        return prepared;
    }
    // The items follow the program's name, local files as paths.
    std::vector<std::string> argv{applicationPath};
    for (const auto& item : items) {
        if (item.find('\0') != std::string::npos || (!item.starts_with("/") && !isUrl(item))) {
            prepared.error = application() + " cannot open “" + item + "” because it is not a URL.";
            return prepared;
        }
        argv.push_back(localPathOfFileUrl(item).value_or(item));
    }
    prepared.commands.push_back({*program, std::move(argv), {}});
    return prepared;
}

void XdgWorkspace::launch(Prepared prepared, Completion completion) {
    if (prepared.error) {
        complete(std::move(completion), std::move(prepared.error));
        return;
    }
    if (prepared.desktopLaunch) {
        pollUntilDone(queue_, [launch = ApplicationCatalog::launch(*prepared.desktopLaunch, prepared.items),
                               completion = std::move(completion)] {
            if (!launch->decided()) return false;
            if (completion) completion(launch->error());
            return true;
        });
        return;
    }
    const std::string application = "The application “" + prepared.name + "”";
    const auto startError = [application](int error) {
        return application + " could not be launched: " + systemMessage(error) + ".";
    };

    std::optional<std::string> error;
    for (const auto& command : prepared.commands) {
        const int startFailure = startDetached(command.program, command.argv, command.workingDirectory);
        if (startFailure != 0 && !error) error = startError(startFailure);
    }
    complete(std::move(completion), std::move(error));
}

void XdgWorkspace::complete(Completion completion, std::optional<std::string> error) {
    queue_.post([completion = std::move(completion), error = std::move(error)] {
        if (completion) completion(error);
    });
}

} // namespace tavlin::xdg
