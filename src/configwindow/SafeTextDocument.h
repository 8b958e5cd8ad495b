#pragma once

#include <QtGui/QTextDocument>

namespace tavlin {

// A text document that never loads a resource: descriptions are the user's text, and an image
// or a file named in one (a device, a huge file, a network path) must neither hang nor leak.
class SafeTextDocument final : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

} // namespace tavlin
