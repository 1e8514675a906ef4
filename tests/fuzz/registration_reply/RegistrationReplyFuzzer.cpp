// Any bytes as what the registration server sends: as the body of an XML-RPC reply, which the
// engine's request classifies (a success needs a value and no fault), and as a redirect
// document, whose server URL is then split. Nothing may crash, leak or read past the bytes;
// a reply without a value never counts as a success, and a URL taken from a document is
// never a plain-HTTP one.
#include "regengine/transport/InetLoader.h"
#include "regengine/transport/StreamRPCToNet.h"
#include "regengine/transport/XmlRpcRequest.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // No library to load: the reading needs none, and loading one per input would be slow.
    static engine::InetLoader none{QStringList()};
    {
        const auto copy = std::make_unique<char[]>(size + 1);
        if (size > 0)
            std::memcpy(copy.get(), data, size);
        engine::XmlRpcRequest request(nullptr, QStringLiteral("/xmlrpc/1"), QStringLiteral("sendRegistration"), true,
                                      &none);
        const bool ok = request.ReadResponse(copy.get(), qsizetype(size));
        if (ok && request.GetResultType() == xmlrpc_type_none)
            std::abort();
    }
    const QByteArray document(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString url = engine::StreamRPCToNet::ServerUrlFromDocument(document, QStringLiteral("https://h/xmlrpc"));
    if (url.startsWith(QStringLiteral("http://")) || !url.endsWith(QStringLiteral("/1")))
        std::abort();
    engine::StreamRPCToNet::ServerUrl parts;
    if (engine::StreamRPCToNet::SplitServerUrl(url, parts) && (parts.host.isEmpty() || !parts.path.startsWith(u'/')))
        std::abort();
    return 0;
}
