// Writing a call: the bytes both programs post, and CPython's XML-RPC reader as the peer
// that must read back exactly the values put in.
#include "common/xmlrpc/Call.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

// A struct with markup characters and non-ASCII text, an int and a string that holds "]]>".
void addParameters(const xmlrpc::Call& call)
{
    XMLRPC_VALUE record = XMLRPC_CreateVector(nullptr, xmlrpc_vector_struct);
    XMLRPC_VectorAppendString(record, "mfgr", "A&B <x> \"q\" 'a' gr\xC3\xBC\xC3\x9F", 0);
    XMLRPC_VectorAppendInt(record, "n", 7);
    XMLRPC_AddValueToVector(call.Parameters(), record);
    XMLRPC_AddValueToVector(call.Parameters(), XMLRPC_CreateValueString(nullptr, "x]]>y", 0));
}

TEST(CallTest, IsWrittenCompactEscapedAndWithoutAnEncoding)
{
    xmlrpc::Call call("getChannelsForMfgr");
    addParameters(call);
    EXPECT_EQ(call.ToXml(),
              "<?xml version=\"1.0\"?><methodCall><methodName>getChannelsForMfgr</methodName><params><param><value>"
              "<struct><member><name>mfgr</name><value><string>A&#38;B &#60;x&#62; &#34;q&#34; 'a' "
              "gr\xC3\xBC\xC3\x9F</string></value></member><member><name>n</name><value><int>7</int></value></member>"
              "</struct></value></param><param><value><string>x]]&#62;y</string></value></param></params>"
              "</methodCall>");
}

TEST(CallTest, WithoutParametersHasAnEmptyList)
{
    EXPECT_EQ(xmlrpc::Call("getOffers").ToXml(),
              "<?xml version=\"1.0\"?><methodCall><methodName>getOffers</methodName><params/></methodCall>");
}

TEST(CallTest, CPythonReadsBackWhatWasPut)
{
    xmlrpc::Call call("getChannelsForMfgr");
    addParameters(call);
    const QString file = testsupport::sandboxRoot() + "/call.xml";
    testsupport::writeFile(file, call.ToXml());
    const testsupport::RunResult python =
        testsupport::runProgram("python3", {"-c",
                                            "import sys, xmlrpc.client\n"
                                            "params, method = xmlrpc.client.loads(open(sys.argv[1], 'rb').read())\n"
                                            "sys.stdout.buffer.write(repr((method, params)).encode('utf-8'))\n",
                                            file});
    ASSERT_EQ(python.exitCode, 0) << python.err.toStdString();
    EXPECT_EQ(python.out,
              "('getChannelsForMfgr', ({'mfgr': 'A&B <x> \"q\" \\'a\\' gr\xC3\xBC\xC3\x9F', 'n': 7}, 'x]]>y'))");
}

}  // namespace
