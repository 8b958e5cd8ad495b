#include "model/Keystroke.h"

#include "model/KeyNames.h"
#include "platform/json/JsonSink.h"
#include "platform/text/PeopleWords.h"

namespace tavlin {

std::string Keystroke::description() const {
    std::string text;
    if (cmd) text += "⌘ ";
    if (shift) text += "⇧ ";
    if (option) text += "⌥ ";
    if (control) text += "⌃ ";
    text += keyNameIfKnown(mainKeyCode).value_or(std::to_string(mainKeyCode));
    return text;
}

std::string Keystroke::shownText() const {
    const std::uint32_t mask = (cmd ? carbon::command : 0) | (shift ? carbon::shift : 0) | (option ? carbon::option : 0) |
                               (control ? carbon::control : 0);
    return words::keyCombination(mask, keyNameIfKnown(mainKeyCode) ? shownKeyName(mainKeyCode) : std::to_string(mainKeyCode));
}

json::Value Keystroke::toJson() const {
    json::ValueBuilder builder;
    writeJson(builder);
    return builder.take();
}

void Keystroke::writeJson(json::Sink& sink) const {
    sink.beginObject();
    sink.key("mainKeyCode");
    sink.integer(mainKeyCode);
    sink.key("cmd");
    sink.boolean(cmd);
    sink.key("shift");
    sink.boolean(shift);
    sink.key("option");
    sink.boolean(option);
    sink.key("control");
    sink.boolean(control);
    sink.endObject();
}

Keystroke Keystroke::fromJson(const JsonReader& reader) {
    reader.requireObject("Keystroke");
    Keystroke keystroke;
    keystroke.mainKeyCode = reader.member("mainKeyCode", "Int").int64();
    keystroke.cmd = reader.booleanMember("cmd");
    keystroke.shift = reader.booleanMember("shift");
    keystroke.option = reader.booleanMember("option");
    keystroke.control = reader.booleanMember("control");
    return keystroke;
}

void Keystroke::hash(Hasher& hasher) const {
    hasher.combine(mainKeyCode);
    hasher.combine(cmd);
    hasher.combine(shift);
    hasher.combine(option);
    hasher.combine(control);
}

} // namespace tavlin
