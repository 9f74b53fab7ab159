// The .nsl reader: normalisation, comments, quotes, sections, commands and
// the buffer limits.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "shader/shader_source.h"

namespace {

struct ReadResult {
  bool ok = false;
  std::string vs;
  std::string ps;
  VertexProfile profile;
  std::string problem;  // what the reader says was lost, empty for a whole file
};

class ShaderSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            (std::string("vorn_nsl_") + info->name() + "_" + std::to_string(::getpid()) + ".nsl");
  }
  void TearDown() override { std::filesystem::remove(path_); }

  ReadResult read(const std::string& content) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return readPath(path_.string());
  }

  static ReadResult readPath(const std::string& path) {
    ReadResult r;
    // Guard bytes after each buffer catch writes past its end.
    std::vector<char> vs(SHADER_TEXT_SIZE + 64, 'G');
    std::vector<char> ps(SHADER_TEXT_SIZE + 64, 'G');
    std::fill(vs.begin(), vs.begin() + SHADER_TEXT_SIZE, '\0');
    std::fill(ps.begin(), ps.begin() + SHADER_TEXT_SIZE, '\0');
    r.ok = readShaderSource(path.c_str(), &r.profile, vs.data(), ps.data(), &r.problem);
    for (std::size_t i = SHADER_TEXT_SIZE; i < vs.size(); ++i) {
      EXPECT_EQ(vs[i], 'G') << "vertex text written past its buffer";
      EXPECT_EQ(ps[i], 'G') << "pixel text written past its buffer";
    }
    EXPECT_NE(std::memchr(vs.data(), '\0', SHADER_TEXT_SIZE), nullptr);
    EXPECT_NE(std::memchr(ps.data(), '\0', SHADER_TEXT_SIZE), nullptr);
    r.vs = vs.data();
    r.ps = ps.data();
    return r;
  }

  std::filesystem::path path_;
};

// Wraps text as the only content of a vertex shader section.
std::string vsSection(const std::string& body) { return "#preprocessor HLSL_VS\n" + body + "#end\n"; }

TEST_F(ShaderSourceTest, MissingFileReturnsFalseAndWritesNothing) {
  VertexProfile profile;
  char vs[SHADER_TEXT_SIZE] = "untouched";
  char ps[SHADER_TEXT_SIZE] = "untouched";
  EXPECT_FALSE(readShaderSource("no\\such\\file.nsl", &profile, vs, ps));
  EXPECT_STREQ(vs, "untouched");
  EXPECT_STREQ(ps, "untouched");
  EXPECT_EQ(profile.count, 0);
}

TEST_F(ShaderSourceTest, AFolderIsRefusedNotReadAsEmpty) {
  const ReadResult r = readPath(std::filesystem::temp_directory_path().string());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.problem.rfind("cannot read it", 0), 0u) << r.problem;
}

TEST_F(ShaderSourceTest, SectionsGoToTheirTexts) {
  const ReadResult r = read(
      "ignored before the first directive\n"
      "#preprocessor GLSL_VS\n"
      "void glsl() {}\n"
      "#preprocessor HLSL_VS\n"
      "float4 main() : POSITION { return 0; }\n"
      "#preprocessor HLSL_PS\n"
      "float4 main() : COLOR { return 1; }\n"
      "#end\n"
      "dropped after end\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.vs, "float4 main() : POSITION { return 0; }\n");
  EXPECT_EQ(r.ps, "float4 main() : COLOR { return 1; }\n");
  EXPECT_EQ(r.problem, "");
}

TEST_F(ShaderSourceTest, LastSectionWithoutClosingDirectiveIsDropped) {
  const ReadResult r = read(
      "#preprocessor HLSL_PS\n"
      "ps text\n"
      "#preprocessor HLSL_VS\n"
      "vs text never closed\n");
  EXPECT_EQ(r.ps, "ps text\n");
  EXPECT_EQ(r.vs, "");
  EXPECT_EQ(r.problem, "the file ends inside its HLSL_VS section, which is dropped (is the file cut short?)");

  const ReadResult commands = read(
      "#preprocessor commands\n"
      "VertexProfileCreate(1)\n");
  EXPECT_EQ(commands.profile.count, 0);
}

TEST_F(ShaderSourceTest, ClosingDirectiveWithoutFinalNewlineStillCloses) {
  const ReadResult r = read("#preprocessor HLSL_VS\nabc\n#end");
  EXPECT_EQ(r.vs, "abc\n");
}

TEST_F(ShaderSourceTest, LaterSectionOfTheSameKindReplacesEarlier) {
  const ReadResult r = read(vsSection("first version with a long line\n") + vsSection("second\n"));
  EXPECT_EQ(r.vs, "second\n");
}

TEST_F(ShaderSourceTest, BlanksAreNormalisedOutsideQuotes) {
  const ReadResult r = read(vsSection("   \tfloat\t\t  a  =   1;   \n\n  b\n"));
  // Leading blanks vanish, runs become one blank, trailing blanks stay, an
  // empty line stays as a lone newline.
  EXPECT_EQ(r.vs, "float a = 1; \n\nb\n");
}

TEST_F(ShaderSourceTest, LineCommentJoinsTheNextLine) {
  const ReadResult r = read(vsSection("float a; // the first\nfloat b;\nc\n"));
  EXPECT_EQ(r.vs, "float a; float b;\nc\n");
}

TEST_F(ShaderSourceTest, BlockCommentsAreRemovedAcrossLines) {
  const ReadResult r = read(vsSection("a /* one\n two */b\nc/**/d\ne/*/ still comment */f\n"));
  EXPECT_EQ(r.vs, "a b\ncd\nef\n");
}

TEST_F(ShaderSourceTest, QuotesProtectCommentsAndBlanks) {
  const ReadResult r = read(vsSection("s = \"a //  b /* c\t\";  x\n"));
  EXPECT_EQ(r.vs, "s = \"a //  b /* c\t\"; x\n");
}

TEST_F(ShaderSourceTest, UnmatchedQuoteKeepsTheRestVerbatim) {
  const ReadResult r = read(
      "#preprocessor HLSL_VS\n"
      "a \"open\n"
      "   kept  // not a comment\n"
      "#end\n"  // in quotes, yet still a directive line: it begins with '#'
      "#preprocessor HLSL_PS\n"
      "x\n");
  EXPECT_EQ(r.vs, "a \"open\n   kept  // not a comment\n");
}

TEST_F(ShaderSourceTest, DirectiveRecognitionUsesTheExactFirstWord) {
  const ReadResult r = read(
      "#preprocessor HLSL_VS\n"
      "#define X 1\n"
      "#endif\n"
      "#if 0\n"
      "   #end\n"  // indented: still a directive, it closes the section
      "after\n");
  EXPECT_EQ(r.vs, "#define X 1\n#endif\n#if 0\n");
}

TEST_F(ShaderSourceTest, HeaderMustMatchExactly) {
  // A trailing blank, a comment, or other text after the header makes it an
  // unknown kind: the section is dropped.
  EXPECT_EQ(read("#preprocessor HLSL_VS \nx\n#end\n").vs, "");
  EXPECT_EQ(read("#preprocessor HLSL_VS /* note */\nx\n#end\n").vs, "");
  EXPECT_EQ(read("#preprocessor hlsl_vs\nx\n#end\n").vs, "");
  // A "//" comment on the header also joins the next line into it.
  const ReadResult joined = read("#preprocessor HLSL_VS // note\nfloat a;\n#end\n");
  EXPECT_EQ(joined.vs, "");
}

TEST_F(ShaderSourceTest, CommentAtEndOfFileEndsTheRead) {
  EXPECT_TRUE(read(vsSection("a\n") + "/* never closed").ok);
  EXPECT_TRUE(read(vsSection("a\n") + "// no newline").ok);
  EXPECT_EQ(read(vsSection("a\n") + "/* never closed").vs, "a\n");
}

TEST_F(ShaderSourceTest, CarriageReturnLineFeedReadsAsOneNewline) {
  const ReadResult r = read("#preprocessor HLSL_VS\r\nabc // note\r\ndef\r\n\r\n#end\r\n");
  EXPECT_EQ(r.vs, "abc def\n\n");
  // A lone carriage return is an ordinary character.
  EXPECT_EQ(read(vsSection("a\rb\n")).vs, "a\rb\n");
}

// ---- commands -------------------------------------------------------------

std::string commands(const std::string& body) { return "#preprocessor commands\n" + body + "#end\n"; }

const std::string kUsageDefines =
    "#define POSITION 1\n"
    "#define NORMAL 2\n"
    "#define TEXCOORD 4\n"
    "#define COLOR 8\n";

TEST_F(ShaderSourceTest, CommandsBuildTheProfile) {
  const ReadResult r = read(commands(kUsageDefines +
                                     "VertexProfileCreate(4)\n"
                                     "VertexProfileSet(0,0,3,POSITION,0)\n"
                                     "VertexProfileSet(1,12,3,NORMAL,0)\n"
                                     "VertexProfileSet(2,24,4,COLOR,0)\n"
                                     "VertexProfileSet(3,28,2,TEXCOORD,1)\n"));
  const VertexProfile& p = r.profile;
  ASSERT_EQ(p.count, 4);
  EXPECT_EQ(p.stride, 12 + 12 + 4 + 8);
  EXPECT_EQ(p.elements[2].offset, 24);
  EXPECT_EQ(p.elements[2].components, 4);
  EXPECT_EQ(p.elements[2].usage, 8);
  EXPECT_EQ(p.elements[3].usage, 4);
  EXPECT_EQ(p.elements[3].usageIndex, 1);
}

TEST_F(ShaderSourceTest, DefinesBelongToTheirSection) {
  const ReadResult r = read(commands("#define POSITION 1\n") + commands(
                                                                  "VertexProfileCreate(1)\n"
                                                                  "VertexProfileSet(0,0,3,POSITION,0)\n"));
  ASSERT_EQ(r.profile.count, 1);
  EXPECT_EQ(r.profile.elements[0].usage, -1);
  EXPECT_EQ(r.profile.stride, 0);
}

TEST_F(ShaderSourceTest, FirstDefinitionOfANameWins) {
  const ReadResult r = read(commands(
      "#define P 1\n"
      "#define P 2\n"
      "VertexProfileCreate(1)\n"
      "VertexProfileSet(0,0,3,P,0)\n"));
  EXPECT_EQ(r.profile.elements[0].usage, 1);
}

TEST_F(ShaderSourceTest, DefineValuesFollowAtoi) {
  const ReadResult r = read(commands(
      "#define A -8xyz\n"
      "#define B\n"
      "#define C \n"
      "#define D abc\n"
      "#define E +4\n"
      "#define F 99999999999999999999\n"
      "VertexProfileCreate(6)\n"
      "VertexProfileSet(0,0,1,A,0)\n"
      "VertexProfileSet(1,0,1,B,0)\n"
      "VertexProfileSet(2,0,1,C,0)\n"
      "VertexProfileSet(3,0,1,D,0)\n"
      "VertexProfileSet(4,0,1,E,0)\n"
      "VertexProfileSet(5,0,1,F,0)\n"));
  ASSERT_EQ(r.profile.count, 6);
  EXPECT_EQ(r.profile.elements[0].usage, -8);
  EXPECT_EQ(r.profile.elements[1].usage, 0);
  EXPECT_EQ(r.profile.elements[2].usage, 0);
  EXPECT_EQ(r.profile.elements[3].usage, 0);
  EXPECT_EQ(r.profile.elements[4].usage, 4);
  EXPECT_EQ(r.profile.elements[5].usage, 2147483647);  // saturates
}

TEST_F(ShaderSourceTest, BlanksAfterCommasBreakOnlyTheUsageName) {
  const ReadResult r = read(commands(kUsageDefines +
                                     "VertexProfileCreate( 2)\n"
                                     "VertexProfileSet(0, 4, 3, POSITION, 1)\n"
                                     "VertexProfileSet(1,16,2,TEXCOORD ,0)\n"));
  ASSERT_EQ(r.profile.count, 2);
  EXPECT_EQ(r.profile.elements[0].offset, 4);
  EXPECT_EQ(r.profile.elements[0].components, 3);
  EXPECT_EQ(r.profile.elements[0].usageIndex, 1);
  EXPECT_EQ(r.profile.elements[0].usage, -1);
  EXPECT_EQ(r.profile.elements[1].usage, -1);
  EXPECT_EQ(r.profile.stride, 0);
  // What the commands could not act on is told, the first of it.
  EXPECT_EQ(r.problem, "its commands use the usage name \" POSITION\", which is not defined");
}

TEST_F(ShaderSourceTest, CallsNeedTheExactFunctionName) {
  const ReadResult r = read(commands(kUsageDefines +
                                     "VertexProfileCreate (3)\n"
                                     "vertexprofilecreate(3)\n"
                                     "x = VertexProfileCreate(3)\n"
                                     "VertexProfileCreate(2)\n"
                                     "VertexProfileSet (0,0,3,POSITION,0)\n"));
  ASSERT_EQ(r.profile.count, 2);
  EXPECT_EQ(r.profile.elements[0].usage, 0);
  EXPECT_EQ(r.problem, "its commands call \"VertexProfileCreate \", which is no command");
}

TEST_F(ShaderSourceTest, MissingArgumentsReadAsEmpty) {
  const ReadResult r = read(commands(kUsageDefines +
                                     "VertexProfileCreate(2)\n"
                                     "VertexProfileSet(1,8,2\n"
                                     "VertexProfileSet(0,0,3,POSITION)\n"));
  ASSERT_EQ(r.profile.count, 2);
  EXPECT_EQ(r.profile.elements[1].offset, 8);
  EXPECT_EQ(r.profile.elements[1].components, 2);
  EXPECT_EQ(r.profile.elements[1].usage, -1);  // empty name is not defined
  EXPECT_EQ(r.profile.elements[0].usage, 1);
  EXPECT_EQ(r.profile.elements[0].usageIndex, 0);
  EXPECT_EQ(r.profile.stride, 12);
}

TEST_F(ShaderSourceTest, QuotedArgumentsKeepTheirCommas) {
  // A quoted argument ends at the first comma outside the quotes; the next
  // argument still starts after the next comma of the line, quoted or not.
  const ReadResult r = read(commands(
      "#define \"a,b\" 4\n"
      "VertexProfileCreate(1)\n"
      "VertexProfileSet(0,0,2,\"a,b\",7)\n"));
  ASSERT_EQ(r.profile.count, 1);
  EXPECT_EQ(r.profile.elements[0].usage, 4);
  EXPECT_EQ(r.profile.elements[0].usageIndex, 0);  // argument 4 is  b",7)
}

TEST_F(ShaderSourceTest, SeveralCommandSectionsShareTheProfile) {
  const ReadResult r = read(commands("VertexProfileCreate(3)\n") +
                            commands("#define T 4\nVertexProfileSet(2,0,2,T,0)\n"));
  ASSERT_EQ(r.profile.count, 3);
  EXPECT_EQ(r.profile.elements[2].usage, 4);
  EXPECT_EQ(r.profile.stride, 8);
}

TEST_F(ShaderSourceTest, BadProfileCommandsAreIgnored) {
  const ReadResult r = read(commands(
      "#define P 1\n"
      "VertexProfileSet(0,0,3,P,0)\n"  // before any create
      "VertexProfileCreate(2)\n"
      "VertexProfileSet(2,0,3,P,0)\n"  // slot out of range
      "VertexProfileSet(-1,0,3,P,0)\n"
      "VertexProfileCreate(-5)\n"
      "VertexProfileCreate(2000000000)\n"));
  ASSERT_EQ(r.profile.count, 2);
  EXPECT_EQ(r.profile.elements[0].usage, 0);  // new elements are zero-filled
  EXPECT_EQ(r.profile.elements[1].usage, 0);
  EXPECT_EQ(r.profile.stride, 0);
}

TEST_F(ShaderSourceTest, CommandsInOtherSectionsDoNothing) {
  const ReadResult r = read(vsSection("VertexProfileCreate(2)\n"));
  EXPECT_EQ(r.profile.count, 0);
  EXPECT_EQ(r.vs, "VertexProfileCreate(2)\n");
}

// ---- limits -----------------------------------------------------------------

TEST_F(ShaderSourceTest, OverlongSectionIsCutAtAWholeLine) {
  std::string body;
  const std::string line(99, 'x');  // 100 bytes with its newline
  for (int i = 0; i < 60; ++i) body += line + "\n";
  const ReadResult r = read(vsSection(body));
  EXPECT_EQ(r.vs.size(), 4000u);
  EXPECT_EQ(r.vs.back(), '\n');
  EXPECT_NE(r.problem.find("HLSL_VS section is longer than 4095 characters"), std::string::npos) << r.problem;
}

TEST_F(ShaderSourceTest, OverlongLinesAndHeadersAreCut) {
  const ReadResult r = read(vsSection(std::string(5000, 'y') + "\n"));
  EXPECT_EQ(r.vs, std::string(1023, 'y') + "\n");
  EXPECT_EQ(r.problem.rfind("line 2 is longer than 1023 characters", 0), 0u) << r.problem;

  const std::string longHeader = "#preprocessor HLSL_VS" + std::string(500, 'z');
  EXPECT_EQ(read(longHeader + "\nbody\n#end\n").vs, "");
}

TEST_F(ShaderSourceTest, OverlongNamesAndArgumentsAreCut) {
  const std::string name(300, 'N');
  const ReadResult r = read(commands("#define " + name + " 4\n"
                                     "VertexProfileCreate(2)\n"
                                     "VertexProfileSet(0,0,2," + name + ",0)\n"
                                     "VertexProfileSet(1," + std::string(200, '7') + ",2," + name + ",0)\n"));
  ASSERT_EQ(r.profile.count, 2);
  // The define and the look-up both keep the first 127 characters of the
  // name, which still match.
  EXPECT_EQ(r.profile.elements[0].usage, 4);
  // A number too long for 32 bits saturates.
  EXPECT_EQ(r.profile.elements[1].offset, 2147483647);
  EXPECT_EQ(r.profile.stride, 16);
}

TEST_F(ShaderSourceTest, BinaryGarbageDoesNotBreakTheReader) {
  std::string garbage;
  unsigned seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    garbage += static_cast<char>((seed >> 16) & 0xFF);
  }
  const ReadResult r = read("#preprocessor HLSL_VS\n" + garbage + "\n#preprocessor commands\nVertexProfileCreate(" +
                            garbage.substr(0, 50) + ")\n#end\n");
  EXPECT_TRUE(r.ok);
  EXPECT_LE(r.vs.size(), SHADER_TEXT_SIZE - 1);
}

}  // namespace
