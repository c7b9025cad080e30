#include "cli/json_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace trivexa::cli {
namespace {

TEST(JsonStringTest, EscapesWhatJsonRequires) {
  EXPECT_EQ(JsonString("plain"), "\"plain\"");
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("say \"hi\" \\ bye"), R"("say \"hi\" \\ bye")");
  EXPECT_EQ(JsonString("a\nb\tc\rd\be\ff"), R"("a\nb\tc\rd\be\ff")");
  EXPECT_EQ(JsonString(std::string_view("\x01\x1f", 2)), R"("\u0001\u001f")");
  EXPECT_EQ(JsonString(std::string_view("nul\0end", 7)), R"("nul\u0000end")");
  EXPECT_EQ(JsonString("/"), "\"/\"");  // allowed as it is
}

TEST(JsonStringTest, KeepsValidUtf8) {
  EXPECT_EQ(JsonString("Jöystick 宋体 \xF0\x9F\x95\xB9"), "\"Jöystick 宋体 \xF0\x9F\x95\xB9\"");
}

TEST(JsonStringTest, ReplacesBytesThatAreNotUtf8) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(JsonString("a\xFFz"), "\"a" + replacement + "z\"");                // never a lead byte
  EXPECT_EQ(JsonString("\x80"), "\"" + replacement + "\"");                    // stray continuation
  EXPECT_EQ(JsonString("\xC3"), "\"" + replacement + "\"");                    // cut off at the end
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"" + replacement + replacement + "\"");  // overlong "/"
  EXPECT_EQ(JsonString("\xED\xA0\x80"),                                        // a surrogate
            "\"" + replacement + replacement + replacement + "\"");
  EXPECT_EQ(JsonString("\xF4\x90\x80\x80"),  // past U+10FFFF
            "\"" + replacement + replacement + replacement + replacement + "\"");
  EXPECT_EQ(JsonString("\xE4\xB8\"x"), "\"" + replacement + replacement + "\\\"x\"");
}

TEST(JsonObjectTest, MembersInOrderWithCommas) {
  EXPECT_EQ(JsonObject().Text(), "{}");
  JsonObject object;
  object.Add("name", "a\"b")
      .AddNumber("n", -300)
      .AddBool("yes", true)
      .AddBool("no", false)
      .AddNull("none")
      .AddRaw("list", "[1,2]");
  EXPECT_EQ(object.Text(),
            R"({"name":"a\"b","n":-300,"yes":true,"no":false,"none":null,"list":[1,2]})");

  // Two keys that differ only in case are one member to readers that fold
  // case: the object refuses the second, whatever its kind.
  EXPECT_THROW(object.AddNumber("N", 1), std::logic_error);
  EXPECT_THROW(object.AddNull("LIST"), std::logic_error);
  EXPECT_THROW(JsonObject().Add("x", "").Add("x", ""), std::logic_error);
  EXPECT_NO_THROW(JsonObject().AddNumber("x", 1).AddNumber("rawX", 2).AddNumber("xs", 3));
  EXPECT_EQ(object.Text().find("LIST"), std::string::npos);
}

}  // namespace
}  // namespace trivexa::cli
