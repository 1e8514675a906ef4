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
    const auto q = parseWql(QString::fromUtf8(c.text));
    ASSERT_TRUE(q) << c.text;
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
};

void PrintTo(const Rejected& c, std::ostream* os)
{
    *os << c.text;
}

class WqlRejects : public ::testing::TestWithParam<Rejected> {};

TEST_P(WqlRejects, GivesNothing)
{
    EXPECT_FALSE(parseWql(QString::fromUtf8(GetParam().text))) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WqlRejects,
    ::testing::Values(Rejected{"Empty", ""}, Rejected{"NotASelect", "DELETE FROM Win32_BIOS"},
                      Rejected{"NoProperties", "SELECT FROM Win32_BIOS"}, Rejected{"NoFrom", "SELECT * Win32_BIOS"},
                      Rejected{"NoClass", "SELECT * FROM"}, Rejected{"KeywordAsClass", "SELECT * FROM where"},
                      Rejected{"EmptyListItem", "SELECT Model,, Name FROM Win32_ComputerSystem"},
                      Rejected{"TrailingComma", "SELECT Model, FROM Win32_ComputerSystem"},
                      Rejected{"StarAndName", "SELECT *, Model FROM Win32_ComputerSystem"},
                      Rejected{"WhereWithoutCondition", "SELECT * FROM Win32_BIOS WHERE"},
                      Rejected{"WhereWithoutValue", "SELECT * FROM Win32_BIOS WHERE Version ="},
                      Rejected{"UnterminatedText", "SELECT * FROM Win32_BIOS WHERE Version = 'open"},
                      Rejected{"OtherOperator", "SELECT * FROM Win32_BIOS WHERE Version > 1"},
                      Rejected{"TwoConditions", "SELECT * FROM Win32_BIOS WHERE Version = 1 AND Name = 'x'"},
                      Rejected{"TrailingWords", "SELECT * FROM Win32_BIOS extra"},
                      Rejected{"StrayCharacter", "SELECT * FROM Win32_BIOS;"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
