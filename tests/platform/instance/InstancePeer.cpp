// The second process of the instance tests. It inherits the test's runtime folder.
//   hold NAME             take the mutex; print created/exists/failed; keep it until killed
//   swap-block NAME       map the block, print its size and bytes in hex, write 0xa0.. back
//   listen NAME BLOCK     listen for raise requests, publish the token in BLOCK, print
//                         "listening", then "raised" and exit 0 on the first request
#include "platform/instance/Instance.h"
#include "tests/peers/PeerLines.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

using peerlines::say;

int hold(const QString& name)
{
    platform::NamedMutex mutex;
    switch (mutex.create(name)) {
    case platform::NamedMutex::Result::Created: say("created"); break;
    case platform::NamedMutex::Result::AlreadyExists: say("exists"); return 1;
    case platform::NamedMutex::Result::Failed: say("failed"); return 2;
    }
    for (;;)
        ::pause();
}

int swapBlock(const QString& name)
{
    platform::SharedBlock block;
    if (!block.open(name)) {
        say("no block");
        return 2;
    }
    say(QByteArray::number(block.size()) + ' ' +
        QByteArray(reinterpret_cast<const char*>(block.data()), block.size()).toHex());
    for (int i = 0; i < block.size(); ++i)
        block.data()[i] = static_cast<unsigned char>(0xa0 + i);
    return 0;
}

int listen(int argc, char** argv, const QString& name, const QString& blockName)
{
    QCoreApplication app(argc, argv);
    platform::WindowRaiseServer server;
    const quint32 token = server.listen(name);
    platform::SharedBlock block;
    if (token == 0 || !block.create(blockName, 8)) {
        say("listen failed");
        return 2;
    }
    std::memcpy(block.data(), &token, sizeof token);
    QObject::connect(&server, &platform::WindowRaiseServer::raiseRequested, &app, [] {
        say("raised");
        QCoreApplication::exit(0);
    });
    say("listening");
    return app.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString name = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (mode == u"hold" && argc == 3)
        return hold(name);
    if (mode == u"swap-block" && argc == 3)
        return swapBlock(name);
    if (mode == u"listen" && argc == 4)
        return listen(argc, argv, name, QString::fromLocal8Bit(argv[3]));
    std::fprintf(stderr, "usage: instance_peer hold|swap-block NAME | listen NAME BLOCK\n");
    return 64;
}
