#pragma once

namespace tavlin {

// Whether the session bus has an owner for the helper's name (helperBundleIdentifier): the
// helper holds that name while it runs. A synchronous question with a short timeout; no bus or
// no answer counts as not running. Meant for setHelperRunningProbe.
bool helperRunningOnSessionBus();

} // namespace tavlin
