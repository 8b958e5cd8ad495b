// The real `tavlin` when another program already holds one of its leader keys: the user is told
// through the desktop's notification server, once, or in its output when there is none.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <dbus/dbus.h>

#include "e2e/AppDriver.h"
#include "e2e/DesktopTest.h"
#include "e2e/XDriver.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/Settings.h"
#include "platform/base/Uuid.h"

namespace tavlin::e2e {
namespace {

using namespace std::chrono_literals;

// The desktop's notification server on the test's bus: keeps the summary and body of every
// Notify and answers it.
class NotificationServer {
public:
    explicit NotificationServer(const std::string& busAddress) {
        DBusError error;
        dbus_error_init(&error);
        connection_ = dbus_connection_open_private(busAddress.c_str(), &error);
        if (connection_) {
            dbus_connection_set_exit_on_disconnect(connection_, FALSE);
            if (dbus_bus_register(connection_, &error))
                owns_ = dbus_bus_request_name(connection_, "org.freedesktop.Notifications", DBUS_NAME_FLAG_DO_NOT_QUEUE,
                                              &error) == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
        }
        dbus_error_free(&error);
    }
    ~NotificationServer() {
        if (!connection_) return;
        dbus_connection_close(connection_);
        dbus_connection_unref(connection_);
    }
    NotificationServer(const NotificationServer&) = delete;
    NotificationServer& operator=(const NotificationServer&) = delete;

    bool owns() const { return owns_; }

    // Handles what has come so far; never blocks.
    const std::vector<std::string>& notifications() {
        dbus_connection_read_write(connection_, 0);
        while (DBusMessage* message = dbus_connection_pop_message(connection_)) {
            if (dbus_message_is_method_call(message, "org.freedesktop.Notifications", "Notify")) {
                const char *application = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
                dbus_uint32_t replaces = 0;
                if (dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &application, DBUS_TYPE_UINT32, &replaces,
                                          DBUS_TYPE_STRING, &icon, DBUS_TYPE_STRING, &summary, DBUS_TYPE_STRING, &body,
                                          DBUS_TYPE_INVALID))
                    notifications_.push_back(std::string(application) + ": " + summary + " / " + body);
                DBusMessage* reply = dbus_message_new_method_return(message);
                const dbus_uint32_t id = static_cast<dbus_uint32_t>(notifications_.size());
                dbus_message_append_args(reply, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID);
                dbus_connection_send(connection_, reply, nullptr);
                dbus_message_unref(reply);
            }
            dbus_message_unref(message);
        }
        dbus_connection_flush(connection_);
        return notifications_;
    }

private:
    DBusConnection* connection_ = nullptr;
    bool owns_ = false;
    std::vector<std::string> notifications_;
};

class RefusedLeaderKeyTest : public DesktopTest {
protected:
    static constexpr int keyJ = 38;

    // Generated from rows, so that a change of them registers the leader keys again.
    static FlatKeysAndActionRow rowOnCtrlAltJ(std::int64_t key, const std::string& url) {
        return {Uuid::random(),
                true,
                FlatKeysAndActionRow::ApplicationScope::allBut(),
                {key},
                Action(Action::Kind::openURL{url, std::nullopt}, std::nullopt),
                false,
                LeaderKey::press(HotKey::combo(keyJ, 0x1800))};
    }

    // Ctrl+Alt+J is held by another client before the start, and is the leader key of one row.
    void startWithCtrlAltJHeldElsewhere() {
        ASSERT_TRUE(seat_->holdKey(xKey(keyJ), UserSeat::controlMask() | UserSeat::altMask()));
        home_->setSetting(settings::keys::flatKeysAndActionRows, flatRowsRawValue({rowOnCtrlAltJ(0, "https://example.org/j")}));
        app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
        ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    }
};

// Control+option+J is held by another client before the start; the key is told once, however
// often the leader keys are registered again in the run.
TEST_F(RefusedLeaderKeyTest, AKeyHeldByAnotherProgramIsToldOnce) {
    NotificationServer server(bus_->address());
    ASSERT_TRUE(server.owns());
    ASSERT_NO_FATAL_FAILURE(startWithCtrlAltJHeldElsewhere());

    const std::string refused =
        "failed to register (38)\nanother process has already registered the same hotkey using the "
        "kEventHotKeyExclusive option\n";
    ASSERT_TRUE(pollUntil([&] { return !server.notifications().empty(); }, 10s)) << app_->outputTail();
    const auto attempts = app_->outputCount(refused);
    ASSERT_GE(attempts, 1u) << app_->outputTail();
    home_->setSetting(settings::keys::flatKeysAndActionRows,
                      flatRowsRawValue({rowOnCtrlAltJ(0, "https://example.org/j"), rowOnCtrlAltJ(1, "https://example.org/s")}));
    ASSERT_TRUE(pollUntil([&] { return app_->outputCount(refused) > attempts; }, 10s)) << "no registration again\n"
                                                                                       << app_->outputTail();
    // A second notice would follow the attempt at once.
    pollUntil([&] { return server.notifications().size() > 1; }, 500ms);
    ASSERT_EQ(server.notifications().size(), 1u);
    const std::string& notice = server.notifications().front();
    EXPECT_EQ(notice.rfind("tavlin: ", 0), 0u) << notice;
    // The key as a person on this desktop reads it.
    EXPECT_NE(notice.find("The leader key Ctrl+Alt+J cannot be used"), std::string::npos) << notice;
    EXPECT_EQ(app_->outputCount("cannot be used"), 0u) << "told twice\n" << app_->outputTail();
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

// Without a notification server the banner shows nowhere: the output tells it, once.
TEST_F(RefusedLeaderKeyTest, WithoutANotificationServerTheRefusedKeyIsPrinted) {
    ASSERT_NO_FATAL_FAILURE(startWithCtrlAltJHeldElsewhere());

    const std::string told =
        "tavlin: The leader key Ctrl+Alt+J cannot be used: Another program already uses this key combination.";
    EXPECT_TRUE(pollUntil([&] { return app_->outputCount(told) > 0; }, 10s)) << app_->outputTail();
    EXPECT_EQ(app_->outputCount(told), 1u) << app_->outputTail();
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

} // namespace
} // namespace tavlin::e2e
