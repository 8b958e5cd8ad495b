#pragma once

// Hand-made configurations the tests of the configuration window load, as the stored format
// writes them.

namespace tavlin::test {

// Root actions a, b, c (notifications titled so), then chances on keys A (with one action and a
// child chance on B) and on the message "m".
inline const char* smallTreeText() {
    return R"({
  "hotKeys" : [],
  "decision" : {
    "actions" : [
      {"notification" : {"title" : "a"}},
      {"notification" : {"title" : "b"}},
      {"notification" : {"title" : "c"}}
    ],
    "chances" : [
      {"pattern" : {"message" : {"regex" : "m"}}, "decision" : {"actions" : [], "chances" : []}},
      {"pattern" : {"key" : {"allowedKeyCodes" : [0]}}, "decision" : {
        "actions" : [{"openFinder" : {}}],
        "chances" : [{"pattern" : {"key" : {"allowedKeyCodes" : [11]}}, "decision" : {"actions" : [], "chances" : []}}]
      }}
    ]
  }
})";
}

// For dragging and dropping: root actions a, b, c; chances X (its action d and a chance Y
// holding e and a chance Z) and W, all on messages.
inline const char* dropTreeText() {
    return R"({
  "hotKeys" : [],
  "decision" : {
    "actions" : [
      {"notification" : {"title" : "a"}},
      {"notification" : {"title" : "b"}},
      {"notification" : {"title" : "c"}}
    ],
    "chances" : [
      {"pattern" : {"message" : {"regex" : "X"}}, "decision" : {
        "actions" : [{"notification" : {"title" : "d"}}],
        "chances" : [{"pattern" : {"message" : {"regex" : "Y"}}, "decision" : {
          "actions" : [{"notification" : {"title" : "e"}}],
          "chances" : [{"pattern" : {"message" : {"regex" : "Z"}}, "decision" : {"actions" : [], "chances" : []}}]
        }}]
      }},
      {"pattern" : {"message" : {"regex" : "W"}}, "decision" : {"actions" : [], "chances" : []}}
    ]
  }
})";
}

} // namespace tavlin::test
