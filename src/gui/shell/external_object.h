#pragma once

#include <QObject>
#include <QString>

class QWebEnginePage;

namespace quillon {

// The small scripting object every hosted page sees as `window.external`.
// It knows one member: any name beginning with "xx" resolves to member id
// 12345, whose value is "Wibble"; every other name is unknown (id -1).
//
// How a page reaches it: the object travels over a QWebChannel, and a script
// put into every page at document creation replaces `window.external` with a
// proxy. Because the channel connects asynchronously, the proxy answers
// `undefined` until the document receives the event "quillonexternalready";
// from then on `window.external.xxyyzz` (or any "xx…" name) reads "Wibble"
// and other names read `undefined`. Pages that want to call the object
// directly find it as `channel.objects.quillonExternal`, with
// `getIdOfName(name, callback)` and `invoke(id, callback)`.
class ExternalObject final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString value READ Value CONSTANT)
public:
    static constexpr int kMemberId = 12345;
    static constexpr int kUnknownName = -1;

    explicit ExternalObject(QObject* parent = nullptr) : QObject(parent) {}

    static int LookupName(const QString& name);
    QString Value() const { return QStringLiteral("Wibble"); }

    Q_INVOKABLE int getIdOfName(const QString& name) const { return LookupName(name); }
    // The value of member `memberId`; other calls do nothing (empty answer).
    Q_INVOKABLE QString invoke(int memberId) const;
};

// The program's one instance, owned by the application object and released
// with it.
ExternalObject* ProgramExternalObject();

// Offers the program's external object to `page`, whatever it loads.
void AttachExternalObject(QWebEnginePage* page);

}  // namespace quillon
