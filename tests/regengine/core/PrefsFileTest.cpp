#include "regengine/core/QmPrefFile.h"
#include "regengine/core/RegFile.h"
#include "regengine/core/SmartFile.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace engine;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray record(int type, int length, const QByteArray& body)
{
    QByteArray out;
    out += char(type & 0xFF);
    out += char((type >> 8) & 0xFF);
    out += char(length & 0xFF);
    out += char((length >> 8) & 0xFF);
    return out + body;
}

QByteArray narrowField(const char* code, const QByteArray& value)
{
    return record(1, 8 + int(value.size()), QByteArray(code, 4) + value);
}

QString prefsPath()
{
    return QDir(EngineFolder()).filePath(QStringLiteral("Veldo.dat"));
}

// A prefs file holding exactly `bytes`, read by a fresh RegFile.
std::unique_ptr<RegFile> readBytes(const QByteArray& bytes)
{
    testsupport::writeFile(prefsPath(), bytes);
    auto file = std::make_unique<RegFile>();
    file->ReadExistingFields();
    return file;
}

TEST(PrefsFile, LivesInTheEngineFolderAndStartsEmpty)
{
    const QString expected = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Quenmark/Veldora/Veldo.dat");
    RegFile file;
    EXPECT_EQ(file.GetFilePath(), expected);
    EXPECT_TRUE(QFileInfo(expected).isFile());
    EXPECT_EQ(QFileInfo(expected).size(), 0);
    EXPECT_TRUE(file.Exists());
    EXPECT_TRUE(file.IsWritable());

    RegFile other(QStringLiteral("Other.dat"));
    EXPECT_TRUE(other.GetFilePath().endsWith(u"/Quenmark/Veldora/Other.dat"));
}

// Every record type the writer makes, byte for byte.
TEST(PrefsFile, SavedBytes)
{
    RegFile file;
    FieldList* product = file.GetProductList(FourCC("OVEX"), FourCC("OVX1"));
    product->SetField(FourCC("SRNM"), QStringLiteral("AB12"));
    file.GetFieldList().SetField(FourCC("VERS"), QStringLiteral("0000"));
    file.GetFieldList().SetField(FourCC("NAME"), QString::fromUtf16(u"\u0141z"));
    file.GetFieldList().SetField(FourCC("CITY"), QString::fromUtf16(u"K\u00F6ln"));
    ASSERT_TRUE(file.Save());

    const QByteArray expected =
        hex("0200 0600 0001"
            "0500 1800 4f565831 00000000000000000000000000000000"
            "0300 0c00 4f564558 4f565831"
            "0100 0c00 4d464752 4f564558"
            "0100 0c00 50524f44 4f565831"
            "0100 0c00 53524e4d 41423132"
            "0400 0400"
            "0100 0c00 56455253 30303030"
            "0600 0c00 4e414d45 4101 7a00"
            "0100 0c00 43495459 4bf6 6c6e");
    EXPECT_EQ(testsupport::readFile(prefsPath()).toHex(' '), expected.toHex(' '));
}

TEST(PrefsFile, RoundTrip)
{
    {
        RegFile file;
        FieldList* product = file.GetProductList(FourCC("OVEX"), FourCC("OVX1"));
        product->SetField(FourCC("SRNM"), QString::fromUtf16(u"S\u00E9rie \u4E2D"));
        file.GetProductList(FourCC("ACME"), FourCC("AB"));
        file.GetFieldList().SetField(FourCC("CTRY"), QStringLiteral("DEU"));
        file.GetFieldList().SetField(FourCC("EMTY"), QString());
        file.GetProductList(FourCC("OVEX"), FourCC("OVX1"));
        ASSERT_TRUE(file.Save());
    }
    RegFile file;
    file.ReadExistingFields();
    EXPECT_EQ(file.GetFileVersion(), 256);
    EXPECT_EQ(file.GetLastProd(), FourCC("OVX1"));
    EXPECT_EQ(file.GetFieldList().GetField(FourCC("CTRY")), u"DEU");
    EXPECT_NE(file.GetFieldList().Find(FourCC("EMTY")), nullptr);
    ASSERT_EQ(file.GetProductListCount(), 2);
    EXPECT_EQ(file.GetProductListAt(0)->GetField(FourCC("SRNM")), QString::fromUtf16(u"S\u00E9rie \u4E2D"));
    // A product code shorter than four characters comes back as it was written.
    EXPECT_EQ(file.GetProductListAt(1)->GetField(FourCC("PROD")), u"AB");
    EXPECT_EQ(file.GetProductList(FourCC("ACME"), FourCC("AB")), file.GetProductListAt(1));
    EXPECT_FALSE(file.IsLastProd());
    file.GetProductList(FourCC("OVEX"), FourCC("OVX1"));
    EXPECT_TRUE(file.IsLastProd());
}

TEST(PrefsFile, ProductRecordsGroupTheirFields)
{
    const QByteArray bytes = narrowField("VERS", "0102") + record(3, 12, "OVEXOVX1") + narrowField("SRNM", "1234") +
                             narrowField("MODL", "X1") + record(4, 4, {}) + narrowField("CTRY", "FRA");
    const auto file = readBytes(bytes);
    EXPECT_EQ(file->GetFieldList().GetField(FourCC("VERS")), u"0102");
    EXPECT_EQ(file->GetFieldList().GetField(FourCC("CTRY")), u"FRA");
    EXPECT_EQ(file->GetFieldList().Find(FourCC("SRNM")), nullptr);
    ASSERT_EQ(file->GetProductListCount(), 1);
    const FieldList* product = file->GetProductListAt(0);
    EXPECT_EQ(product->GetField(FourCC("MFGR")), u"OVEX");
    EXPECT_EQ(product->GetField(FourCC("PROD")), u"OVX1");
    EXPECT_EQ(product->GetField(FourCC("SRNM")), u"1234");
    EXPECT_EQ(product->GetField(FourCC("MODL")), u"X1");
    EXPECT_EQ(file->GetCurrentProd(), FourCC("OVX1"));
}

// A list whose own PROD field disagrees with the header it was read under stays a list of
// its own: read, save and read again give every list back, each with its own fields.
TEST(PrefsFile, SaveKeepsEveryListItRead)
{
    const QByteArray data = record(3, 12, "OVEXAAAA") + narrowField("PROD", "CCCC") + narrowField("MODL", "a") +
                            record(4, 4, {}) + record(3, 12, "OVEXBBBB") + narrowField("MODL", "b") + record(4, 4, {}) +
                            record(3, 12, "OVEXCCCC") + narrowField("MODL", "c") + record(4, 4, {});
    auto models = [](const RegFile& file) {
        QStringList out;
        for (int i = 0; i < file.GetProductListCount(); ++i)
            out << file.GetProductListAt(i)->GetField(FourCC("MODL"));
        return out;
    };
    const auto first = readBytes(data);
    ASSERT_EQ(models(*first), (QStringList{"a", "b", "c"}));
    ASSERT_TRUE(first->Save());
    RegFile second;
    second.ReadExistingFields();
    EXPECT_EQ(models(second), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(second.GetProductListAt(0)->GetField(FourCC("PROD")), "CCCC");
    EXPECT_EQ(second.GetProductList(FourCC("OVEX"), FourCC("CCCC")), second.GetProductListAt(2));

    // A header seen twice still adds to the one list it names.
    const auto twice = readBytes(record(3, 12, "OVEXAAAA") + narrowField("MODL", "a") + record(4, 4, {}) +
                                 record(3, 12, "OVEXAAAA") + narrowField("SRNM", "s") + record(4, 4, {}));
    ASSERT_EQ(twice->GetProductListCount(), 1);
    EXPECT_EQ(twice->GetProductListAt(0)->GetField(FourCC("SRNM")), "s");
}

TEST(PrefsFile, ProductListsWithoutBothCodesAreNotWritten)
{
    RegFile file;
    file.GetProductList(FourCC("OVEX"), FourCC("OVX1"))->Remove(FourCC("PROD"));
    FieldList onlyMaker;
    onlyMaker.SetField(FourCC("MFGR"), QStringLiteral("OVEX"));
    file.StoreProductFields(onlyMaker);
    EXPECT_EQ(file.GetProductListCount(), 1);
    ASSERT_TRUE(file.Save());
    EXPECT_EQ(testsupport::readFile(prefsPath()).size(), 6 + 24);

    FieldList both;
    both.SetField(FourCC("MFGR"), QStringLiteral("ACME"));
    both.SetField(FourCC("PROD"), QStringLiteral("P001"));
    both.SetField(FourCC("NOTE"), QStringLiteral("kept"));
    file.StoreProductFields(both);
    EXPECT_EQ(file.GetProductList(FourCC("ACME"), FourCC("P001"))->GetField(FourCC("NOTE")), u"kept");
}

// Damaged records are skipped or end the reading; none is read past its end.
TEST(PrefsFile, MalformedRecords)
{
    const QByteArray good = narrowField("GOOD", "yes");
    struct Case {
        const char* name;
        QByteArray bytes;
        bool goodRead;
        qint16 version;
    };
    const Case cases[] = {
        {"length 0 ends the reading", record(1, 0, {}) + good, false, 0},
        {"length 3 ends the reading", record(1, 3, "x") + good, false, 0},
        {"a version record of 5 bytes is skipped", record(2, 5, "\x01") + good, true, 0},
        {"a version record of 8 bytes is skipped", record(2, 8, QByteArray("\x01\x01\0\0", 4)) + good, true, 0},
        {"a field record too short for its code", record(1, 6, "AB") + good, true, 0},
        {"a length past the end ends the reading", good + record(1, 40, "LONGabc"), true, 0},
        {"a field running past the end is not read", record(1, 40, "GOODyes"), false, 0},
        {"an odd UTF-16 body is skipped", record(6, 11, QByteArray("WIDEa\0b", 7)) + good, true, 0},
        {"a negative length ends the reading", record(1, 0x8010, "GOODyes") + good, false, 0},
        {"unknown types are skipped", record(9, 7, "abc") + record(0, 4, {}) + good, true, 0},
        {"a last-product record of 8 bytes is skipped", record(5, 8, "OVX1") + good, true, 0},
        {"half a header at the end is ignored", good + QByteArray("\x01\0", 2), true, 0},
        {"a good version record", record(2, 6, QByteArray("\x00\x01", 2)) + good, true, 256},
    };
    for (const Case& c : cases) {
        const auto file = readBytes(c.bytes);
        EXPECT_EQ(file->GetFieldList().GetField(FourCC("GOOD")) == u"yes", c.goodRead) << c.name;
        EXPECT_EQ(file->GetFieldList().GetCount(), c.goodRead ? 1 : 0) << c.name;
        EXPECT_EQ(file->GetFileVersion(), c.version) << c.name;
    }
}

TEST(PrefsFile, ProductRecordOfTheWrongLengthLeavesFieldsGlobal)
{
    const auto file =
        readBytes(record(3, 16, QByteArray("OVEXOVX1\0\0\0\0", 12)) + narrowField("SRNM", "1") + record(4, 6, "xx"));
    EXPECT_EQ(file->GetProductListCount(), 0);
    EXPECT_EQ(file->GetFieldList().GetField(FourCC("SRNM")), u"1");
}

// The reader takes whatever the writer wrote: a 70,000-byte file is read whole, and saving
// it again keeps every field.
TEST(PrefsFile, LargeFileIsReadWhole)
{
    QByteArray bytes;
    int count = 0;
    while (bytes.size() < 70000) {
        const QByteArray code = QByteArray::number(1000 + count);
        bytes += narrowField(code.constData(), QByteArray(12, 'v'));
        ++count;
    }
    ASSERT_EQ(bytes.size(), 70000);
    auto file = readBytes(bytes);
    EXPECT_EQ(file->GetFieldList().GetCount(), count);
    EXPECT_EQ(file->GetFieldList().GetField(FourCC("4499")), QString(12, u'v'));
    ASSERT_TRUE(file->Save());
    file = std::make_unique<RegFile>();
    file->ReadExistingFields();
    EXPECT_EQ(file->GetFieldList().GetCount(), count);
}

TEST(PrefsFile, ValuesTooLongForTheLengthAreLeftOut)
{
    RegFile file;
    file.GetFieldList().SetField(FourCC("FITS"), QString(32759, u'a'));
    file.GetFieldList().SetField(FourCC("WIDE"), QString(16379, u'\u0141'));
    EXPECT_TRUE(file.Save());
    file.GetFieldList().SetField(FourCC("LONG"), QString(32760, u'b'));
    file.GetFieldList().SetField(FourCC("WIDX"), QString(16380, u'\u0141'));
    file.GetFieldList().SetField(FourCC("LAST"), QStringLiteral("after"));
    EXPECT_FALSE(file.Save());

    RegFile back;
    back.ReadExistingFields();
    EXPECT_EQ(back.GetFieldList().GetField(FourCC("FITS")).size(), 32759);
    EXPECT_EQ(back.GetFieldList().GetField(FourCC("WIDE")).size(), 16379);
    EXPECT_EQ(back.GetFieldList().Find(FourCC("LONG")), nullptr);
    EXPECT_EQ(back.GetFieldList().Find(FourCC("WIDX")), nullptr);
    EXPECT_EQ(back.GetFieldList().GetField(FourCC("LAST")), u"after");
}

// Read-only comes from the file's mode, so it holds for the superuser too.
TEST(PrefsFile, ReadOnlyFileIsNotWritten)
{
    const QByteArray bytes = narrowField("KEEP", "old");
    testsupport::writeFile(prefsPath(), bytes);
    ASSERT_TRUE(QFile::setPermissions(prefsPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    RegFile file;
    file.ReadExistingFields();
    EXPECT_EQ(file.GetFieldList().GetField(FourCC("KEEP")), u"old");
    file.GetFieldList().SetField(FourCC("KEEP"), QStringLiteral("new"));
    EXPECT_FALSE(file.Save());
    EXPECT_FALSE(file.IsWritable());
    EXPECT_EQ(testsupport::readFile(prefsPath()), bytes);
}

TEST(PrefsFile, MissingFileIsNotCreatedBySave)
{
    RegFile file;
    ASSERT_TRUE(QFile::remove(prefsPath()));
    file.GetFieldList().SetField(FourCC("KEEP"), QStringLiteral("x"));
    EXPECT_FALSE(file.Save());
    EXPECT_FALSE(QFile::exists(prefsPath()));
    file.ReadExistingFields();
    EXPECT_EQ(file.GetFieldList().GetField(FourCC("KEEP")), u"x");
}

// The old file is replaced whole: its mode stays, nothing of it is left at the end and no
// temporary file is left beside it.
TEST(PrefsFile, SaveReplacesTheFileAtomically)
{
    testsupport::writeFile(prefsPath(), QByteArray(5000, 'z'));
    ASSERT_TRUE(QFile::setPermissions(prefsPath(), QFile::ReadOwner | QFile::WriteOwner));
    RegFile file;
    file.GetFieldList().SetField(FourCC("ONLY"), QStringLiteral("1"));
    ASSERT_TRUE(file.Save());
    EXPECT_EQ(testsupport::readFile(prefsPath()),
              hex("0200 0600 0001 0500 1800 3f3f3f3f") + QByteArray(16, '\0') + narrowField("ONLY", "1"));
    const QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                        QFile::ExeOther;
    EXPECT_EQ(QFileInfo(prefsPath()).permissions() & modeBits, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(QDir(EngineFolder()).entryList(QDir::Files), QStringList{QStringLiteral("Veldo.dat")});
}

// A save of what the file already holds leaves the file itself in place; a changed one replaces it.
TEST(PrefsFile, SaveOfTheSameBytesLeavesTheFileAlone)
{
    const auto inode = [] {
        struct stat st {};
        return ::stat(QFile::encodeName(prefsPath()).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    RegFile file;
    file.GetFieldList().SetField(FourCC("ONLY"), QStringLiteral("1"));
    ASSERT_TRUE(file.Save());
    const QByteArray saved = testsupport::readFile(prefsPath());
    const ino_t first = inode();
    ASSERT_NE(first, ino_t(0));

    RegFile again;
    again.ReadExistingFields();
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(inode(), first);
    EXPECT_EQ(testsupport::readFile(prefsPath()), saved);

    again.GetFieldList().SetField(FourCC("ONLY"), QStringLiteral("2"));
    ASSERT_TRUE(again.Save());
    EXPECT_NE(inode(), first);
    RegFile reread;
    reread.ReadExistingFields();
    EXPECT_EQ(reread.GetFieldList().GetField(FourCC("ONLY")), u"2");
}

TEST(PrefFile, IsCreatedEmptyInTheEngineFolder)
{
    const QString path = EngineFolder() + QStringLiteral("/private.txt");
    testsupport::writeFile(path, "old contents");
    {
        QmPrefFile file(QStringLiteral("\\private.txt"));
        EXPECT_TRUE(file.IsOpened());
        EXPECT_EQ(file.GetFilePath(), path);
        EXPECT_EQ(testsupport::readFile(path), QByteArray());
        EXPECT_TRUE(file.Write("SRNM:123\r\n"));
    }
    EXPECT_EQ(testsupport::readFile(path), QByteArray("SRNM:123\r\n"));

    const QString elsewhere = QDir(testsupport::sandboxRoot()).filePath(QStringLiteral("plain.txt"));
    QmPrefFile plain(elsewhere, false);
    EXPECT_TRUE(plain.IsOpened());
    EXPECT_TRUE(QFile::exists(elsewhere));

    QmPrefFile nowhere(QStringLiteral("/no/such/folder/x.txt"), false);
    EXPECT_FALSE(nowhere.IsOpened());
    EXPECT_FALSE(nowhere.Write("x"));
}

TEST(PrefsFile, SharedDataFolder)
{
    const QString base = qEnvironmentVariable("XDG_DATA_HOME");
    EXPECT_EQ(GetDataFolderPath(), base);
    EXPECT_EQ(GetDataFolderPath(QStringLiteral("Ovex\\Ovex Kelvo")), base + QStringLiteral("/Ovex/Ovex Kelvo"));
}

}  // namespace
