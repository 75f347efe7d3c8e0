#include "gui/shell/external_object.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace quillon {

namespace {

constexpr const char* kChannelName = "quillonExternal";

// Mirrors LookupName on the page's side: the proxy must answer property
// reads synchronously, and channel calls are asynchronous.
constexpr const char* kBootstrap = R"JS(
(function () {
  if (window.__quillonExternal) return;
  var remote = null;
  var proxy = new Proxy({}, {
    get: function (target, name) {
      if (typeof name !== 'string' || name.indexOf('xx') !== 0) return undefined;
      return remote ? remote.value : undefined;
    },
    has: function (target, name) {
      return typeof name === 'string' && name.indexOf('xx') === 0;
    }
  });
  window.__quillonExternal = proxy;
  try {
    Object.defineProperty(window, 'external', {value: proxy, configurable: true, writable: true});
  } catch (e) {
    window.external = proxy;
  }
  if (typeof qt === 'undefined' || !qt.webChannelTransport) return;
  new QWebChannel(qt.webChannelTransport, function (channel) {
    remote = channel.objects.quillonExternal;
    document.dispatchEvent(new Event('quillonexternalready'));
  });
})();
)JS";

QString ChannelLibrary() {
    // Shipped inside the Qt WebChannel library.
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace

int ExternalObject::LookupName(const QString& name) {
    return name.startsWith(QLatin1String("xx")) ? kMemberId : kUnknownName;
}

QString ExternalObject::invoke(int memberId) const {
    return memberId == kMemberId ? Value() : QString();
}

ExternalObject* ProgramExternalObject() {
    static QPointer<ExternalObject> instance;
    if (!instance) instance = new ExternalObject(QCoreApplication::instance());
    return instance;
}

void AttachExternalObject(QWebEnginePage* page) {
    auto* channel = new QWebChannel(page);
    channel->registerObject(QLatin1String(kChannelName), ProgramExternalObject());
    page->setWebChannel(channel);

    static const QString source = ChannelLibrary() + QLatin1String(kBootstrap);
    QWebEngineScript script;
    script.setName(QStringLiteral("quillon-external"));
    script.setSourceCode(source);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    page->scripts().insert(script);
}

}  // namespace quillon
