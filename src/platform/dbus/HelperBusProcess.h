#pragma once

#include <cstdint>
#include <functional>
#include <optional>

class QDBusConnection;
class QObject;

namespace tavlin {

// Asks the bus, without waiting for it, which process owns the helper's name
// (helperBundleIdentifier). `answer` runs later on the thread of `context`, with the process id,
// or nothing when the name has no owner, there is no bus or no answer came in time; never when
// `context` has gone by then. A stuck bus holds up nothing.
void askHelperProcessOnBus(const QDBusConnection& connection, QObject* context,
                           std::function<void(std::optional<std::int64_t> pid)> answer);

} // namespace tavlin
