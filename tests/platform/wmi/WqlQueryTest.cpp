#include "platform/wmi/WqlQuery.h"

#include <gtest/gtest.h>

namespace {

using platform::parseWql;

struct Accepted {
    const char* name;
    const char* text;
    QStringList properties;
    const char* className;
    const char* whereProperty;  // nullptr: no WHERE
    const char* whereValue;
};

void PrintTo(const Accepted& c, std::ostream* os)
{
    *os << c.text;
}

class WqlAccepts : public ::testing::TestWithParam<Accepted> {};

TEST_P(WqlAccepts, ParsesTheParts)
{
    const Accepted& c = GetParam();
    QString error;
    const auto q = parseWql(QString::fromUtf8(c.text), &error);
    ASSERT_TRUE(q) << c.text;
    EXPECT_EQ(error, QString());
    EXPECT_EQ(q->properties, c.properties);
    EXPECT_EQ(q->className, QString::fromUtf8(c.className));
    if (c.whereProperty) {
        ASSERT_TRUE(q->where);
        EXPECT_EQ(q->where->property, QString::fromUtf8(c.whereProperty));
        EXPECT_EQ(q->where->value, QString::fromUtf8(c.whereValue));
    } else {
        EXPECT_FALSE(q->where);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WqlAccepts,
                         ::testing::Values(Accepted{"StarAsTheScriptWritesIt",
                                                    "select * from Win32_ComputerSystem",
                                                    {},
                                                    "Win32_ComputerSystem",
                                                    nullptr,
                                                    nullptr},
                                           Accepted{"KeywordsInAnyCase",
                                                    "SeLeCt Model FrOm win32_computersystem",
                                                    {"Model"},
                                                    "win32_computersystem",
                                                    nullptr,
                                                    nullptr},
                                           Accepted{"PropertyListWithLooseSpacing",
                                                    "  SELECT Model ,Manufacturer,  Name\tFROM Win32_ComputerSystem  ",
                                                    {"Model", "Manufacturer", "Name"},
                                                    "Win32_ComputerSystem",
                                                    nullptr,
                                                    nullptr},
                                           Accepted{"WhereSingleQuoted",
                                                    "SELECT Size FROM Win32_LogicalDisk WHERE DeviceID = '/home'",
                                                    {"Size"},
                                                    "Win32_LogicalDisk",
                                                    "DeviceID",
                                                    "/home"},
                                           Accepted{"WhereDoubleQuotedWithEscapes",
                                                    R"(SELECT * FROM Win32_BIOS WHERE Version="say \"hi\" \\ ok")",
                                                    {},
                                                    "Win32_BIOS",
                                                    "Version",
                                                    R"(say "hi" \ ok)"},
                                           Accepted{"WhereWithoutSpacesAroundEquals",
                                                    "SELECT * FROM Win32_BIOS WHERE Manufacturer='A b'",
                                                    {},
                                                    "Win32_BIOS",
                                                    "Manufacturer",
                                                    "A b"},
                                           Accepted{"WhereBareNumber",
                                                    "select Name from Win32_Processor where NumberOfCores = 4",
                                                    {"Name"},
                                                    "Win32_Processor",
                                                    "NumberOfCores",
                                                    "4"},
                                           Accepted{"WhereEmptyText",
                                                    "SELECT * FROM Win32_BIOS WHERE SerialNumber = ''",
                                                    {},
                                                    "Win32_BIOS",
                                                    "SerialNumber",
                                                    ""}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Rejected {
    const char* name;
    const char* text;
    const char* reason;  // what the message says after the query
};

void PrintTo(const Rejected& c, std::ostream* os)
{
    *os << c.text;
}

class WqlRejects : public ::testing::TestWithParam<Rejected> {};

// Nothing, and a message that quotes the query and says where it leaves the form.
TEST_P(WqlRejects, GivesNothingAndSaysWhy)
{
    const Rejected& c = GetParam();
    QString error;
    EXPECT_FALSE(parseWql(QString::fromUtf8(c.text), &error)) << c.text;
    EXPECT_EQ(error, QStringLiteral("Unable to read the WQL query \"%1\": %2")
                         .arg(QString::fromUtf8(c.text), QString::fromUtf8(c.reason)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WqlRejects,
    ::testing::Values(
        Rejected{"Empty", "", "it does not start with SELECT"},
        Rejected{"NotASelect", "DELETE FROM Win32_BIOS", "it does not start with SELECT"},
        Rejected{"NoProperties", "SELECT FROM Win32_BIOS", "a property name is missing"},
        Rejected{"NoFrom", "SELECT * Win32_BIOS", "FROM and a class name do not follow the properties"},
        Rejected{"NoClass", "SELECT * FROM", "FROM and a class name do not follow the properties"},
        Rejected{"KeywordAsClass", "SELECT * FROM where", "FROM and a class name do not follow the properties"},
        Rejected{"EmptyListItem", "SELECT Model,, Name FROM Win32_ComputerSystem", "a property name is missing"},
        Rejected{"TrailingComma", "SELECT Model, FROM Win32_ComputerSystem", "a property name is missing"},
        Rejected{"StarAndName", "SELECT *, Model FROM Win32_ComputerSystem",
                 "FROM and a class name do not follow the properties"},
        Rejected{"WhereWithoutCondition", "SELECT * FROM Win32_BIOS WHERE",
                 "the condition is not <property> = <value>"},
        Rejected{"WhereWithoutValue",
                 "SELECT * FROM Win32_BIOS WHERE Version =", "the condition is not <property> = <value>"},
        Rejected{"UnterminatedText", "SELECT * FROM Win32_BIOS WHERE Version = 'open",
                 "the quoted value is not closed"},
        Rejected{"OtherOperator", "SELECT * FROM Win32_BIOS WHERE Version > 1", "'>' is not part of WQL"},
        Rejected{"TwoConditions", "SELECT * FROM Win32_BIOS WHERE Version = 1 AND Name = 'x'",
                 "\"AND\" follows the condition"},
        Rejected{"TrailingWords", "SELECT * FROM Win32_BIOS extra", "\"extra\" follows the class name"},
        Rejected{"StrayCharacter", "SELECT * FROM Win32_BIOS;", "';' is not part of WQL"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
