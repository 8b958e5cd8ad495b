#include "engine/EngineHarness.h"

namespace tavlin::test {
namespace {

using H = HelperAction;

nlohmann::json encoded(const H& action) {
    const auto posted = action.notification();
    EXPECT_EQ(posted.name, "local.tavlin.notification_names.helper_action_event");
    EXPECT_TRUE(posted.object);
    return unorderedJson(posted.object.value_or("null"));
}

H decoded(const std::string& text) {
    return decodeJson(text, [](const JsonReader& reader) { return H::fromJson(reader); });
}

TEST(HelperActionJson, EveryCase) {
    EXPECT_EQ(encoded(H::menu{{"File", "Save As…"}}), unorderedJson(R"({"menu": {"menuItems": ["File", "Save As…"]}})"));
    EXPECT_EQ(encoded(H::menu{}), unorderedJson(R"({"menu": {"menuItems": []}})"));
    EXPECT_EQ(encoded(H::menuCommand{{"File->Save"}}),
              unorderedJson(R"({"menuCommand": {"info": {"menuTitle": "File->Save"}}})"));
    EXPECT_EQ(encoded(H::openURL{"file:///Users/", std::nullopt}), unorderedJson(R"({"openURL": {"url": "file:///Users/"}})"));
    EXPECT_EQ(encoded(H::openURL{"file:///a.txt", "/usr/share/applications/e.desktop"}),
              unorderedJson(R"({"openURL": {"url": "file:///a.txt", "applicationPath": "/usr/share/applications/e.desktop"}})"));
    EXPECT_EQ(encoded(H::launchApp{"/usr/bin/e", std::nullopt}), unorderedJson(R"({"launchApp": {"path": "/usr/bin/e"}})"));
    EXPECT_EQ(encoded(H::launchApp{"/usr/bin/e", ""}),
              unorderedJson(R"({"launchApp": {"path": "/usr/bin/e", "launchArgumentsText": ""}})"));
    EXPECT_EQ(encoded(H::executeFile{"/bin/x", std::nullopt}), unorderedJson(R"({"executeFile": {"path": "/bin/x"}})"));
    EXPECT_EQ(encoded(H::executeFile{"/bin/x", "-a b"}),
              unorderedJson(R"({"executeFile": {"path": "/bin/x", "argumentsText": "-a b"}})"));
    EXPECT_EQ(encoded(H::simulateKeystroke{769}), unorderedJson(R"({"simulateKeystroke": {"code": 769}})"));
    EXPECT_EQ(encoded(H::switchInputMethod{"xkb:us::eng"}),
              unorderedJson(R"({"switchInputMethod": {"inputSourceID": "xkb:us::eng"}})"));
    EXPECT_EQ(encoded(H::switchWindow{}), unorderedJson(R"({"switchWindow": {}})"));
    EXPECT_EQ(encoded(H::sleep{}), unorderedJson(R"({"sleep": {}})"));
}

TEST(HelperActionJson, DecodesWhatItEncodes) {
    const std::vector<H> values{H::menu{{"a", "b"}},
                                H::menuCommand{{"t"}},
                                H::openURL{"file:///Users/", std::nullopt},
                                H::openURL{"https://x.example/?q=a b", ""},
                                H::launchApp{"/p", "--x"},
                                H::executeFile{"/p", std::nullopt},
                                H::simulateKeystroke{6912},
                                H::switchInputMethod{"id"},
                                H::switchWindow{},
                                H::sleep{}};
    for (const auto& value : values) {
        const auto back = decoded(*value.notification().object);
        EXPECT_EQ(back.toJson(), value.toJson());
        EXPECT_EQ(back.value().index(), value.value().index());
    }
    const auto command = decoded(R"({"menuCommand": {"info": {"menuTitle": "t"}}})");
    ASSERT_TRUE(std::holds_alternative<H::menuCommand>(command.value()));
    EXPECT_EQ(std::get<H::menuCommand>(command.value()).info, H::MenuCommandInfo{"t"});
}

TEST(HelperActionJson, CompactTextAndMissingOptionalsDecode) {
    const auto launch = decoded(R"({"launchApp":{"path":"/p"}})");
    ASSERT_TRUE(std::holds_alternative<H::launchApp>(launch.value()));
    EXPECT_FALSE(std::get<H::launchApp>(launch.value()).launchArgumentsText);
    EXPECT_EQ(std::get<H::simulateKeystroke>(decoded(R"({"simulateKeystroke":{"code":9007199254740993}})").value()).code,
              9007199254740993)
        << "codes are 64-bit integers, read without rounding";
}

TEST(HelperActionJson, DecodeErrors) {
    const auto errorOf = [](const std::string& text) -> std::optional<DecodingError> {
        try {
            decoded(text);
        } catch (const DecodingError& error) {
            return error;
        }
        return std::nullopt;
    };
    for (const std::string text : {R"({"switchWindow": {}, "sleep": {}})", "{}", R"({"wake": {}})"}) {
        SCOPED_TRACE(text);
        const auto error = errorOf(text);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), DecodingError::Kind::typeMismatch);
        EXPECT_EQ(error->debugDescription(), "Invalid number of keys found, expected one.");
    }
    for (const std::string text :
         {R"({"sleep": []})", R"({"menu": {}})", R"({"menu": {"menuItems": [1]}})", R"({"menuCommand": {"info": {}}})",
          R"({"openURL": {"applicationPath": "/a"}})", R"({"openURL": {"url": "u", "applicationPath": 3}})",
          R"({"simulateKeystroke": {"code": "1"}})", R"({"simulateKeystroke": {"code": 1.5}})", R"({"switchInputMethod": {}})",
          R"({"executeFile": {"argumentsText": "x"}})", "[]", "not json"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(errorOf(text));
    }
}

class HelperPostingTest : public EngineTest {};

TEST_F(HelperPostingTest, RequestsGoOutOnTheDistributedCentreAsTheyAre) {
    postToHelper(H::sleep{});
    tavlinNotifications::postDistributed({"some.other.name", std::nullopt});
    ASSERT_EQ(distributed.posted().size(), 2u);
    EXPECT_EQ(distributed.posted()[0].name, "local.tavlin.notification_names.helper_action_event");
    EXPECT_EQ(unorderedJson(*distributed.posted()[0].object), unorderedJson(R"({"sleep": {}})"));
    EXPECT_EQ(distributed.posted()[1].name, "some.other.name");
    EXPECT_FALSE(distributed.posted()[1].object) << "no object stays no object";
}

} // namespace
} // namespace tavlin::test
