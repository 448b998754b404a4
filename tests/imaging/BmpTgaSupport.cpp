#include "BmpTgaSupport.h"

#include "AnyPicDecoder.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace bmptga
{
SuiteCase Good(std::string file, std::string reference, int tolerance, bool compareAlpha)
{
    SuiteCase c;
    c.file = std::move(file);
    c.reference = std::move(reference);
    c.tolerance = tolerance;
    c.compareAlpha = compareAlpha;
    return c;
}

SuiteCase Bad(std::string file, int code, std::string text)
{
    SuiteCase c;
    c.file = std::move(file);
    c.code = code;
    c.text = std::move(text);
    return c;
}

SuiteCase Decodes(std::string file)
{
    return Bad(std::move(file), 0);
}

SuiteCase GoodAtDepths(std::string file, std::string reference, std::string reference32)
{
    SuiteCase c = Good(std::move(file), std::move(reference));
    c.reference32 = std::move(reference32);
    return c;
}

std::string DecoderError(const std::string& text)
{
    return "Decoder error: " + text + "\n";
}

std::string CaseName(const ::testing::TestParamInfo<SuiteCase>& info)
{
    std::string name = fs::path(info.param.file).filename().string();
    // bmpsuite's folders hold files of the same name in different classes.
    const std::string parent = fs::path(info.param.file).parent_path().filename().string();
    name = parent + "_" + name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

void DecodeTestFile(const std::string& file, CBmp& bmp, int depth)
{
    CAnyPicDecoder decoder;
    decoder.DecodeFile(test::TestData(file), bmp, depth);
}

void CheckSuiteCase(const SuiteCase& c)
{
    if (c.reference.empty() && c.code == 0)
    {
        for (int depth : {0, 32})
        {
            CDIBSection bmp;
            EXPECT_NO_THROW(DecodeTestFile(c.file, bmp, depth)) << "depth " << depth;
        }
        return;
    }
    if (c.reference.empty())
    {
        CDIBSection bmp;
        EXPECT_DECODE_ERROR(DecodeTestFile(c.file, bmp), c.code,
                            c.text.empty() ? nullptr : c.text.c_str());
        return;
    }
    for (int depth : {0, 32})
    {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const test::RgbaImage expected = test::LoadPng(
            test::TestData(depth == 32 && !c.reference32.empty() ? c.reference32 : c.reference));
        CDIBSection bmp;
        try
        {
            DecodeTestFile(c.file, bmp, depth);
        }
        catch (const CTextException& e)
        {
            ADD_FAILURE() << "error " << e.GetCode() << ": " << e.GetText();
            continue;
        }
        if (depth == 32)
        {
            EXPECT_EQ(bmp.GetBitsPerPixel(), 32);
        }
        EXPECT_TRUE(test::ImagesMatch(expected, test::ToRgba(bmp), c.tolerance, c.compareAlpha));
    }
}

namespace
{
std::string Quoted(const std::string& s)
{
    std::string q = "'";
    for (char ch : s)
        q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return q + "'";
}
} // namespace

void CheckSuiteCaseThroughCommandLine(const SuiteCase& c)
{
    const fs::path dir = fs::path(test::TempDir()) / "cli";
    fs::create_directories(dir);
    std::string base =
        fs::path(c.file).parent_path().filename().string() + "_" + fs::path(c.file).stem().string();
    const fs::path out = dir / (base + ".bmp");
    const fs::path err = dir / (base + ".stderr");
    fs::remove(out);
    const std::string command = Quoted(VISTREL_DECODE_EXE) + " " + Quoted(test::TestData(c.file)) +
                                " " + Quoted(out.string()) + " >/dev/null 2>" +
                                Quoted(err.string());
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << command;
    std::stringstream stderrText;
    stderrText << std::ifstream(err).rdbuf();

    // No temporary file of the save may stay behind, good or bad.
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().rfind(base + ".bmp.", 0), std::string::npos)
            << entry.path();

    if (c.reference.empty() && c.code == 0)
    {
        EXPECT_EQ(WEXITSTATUS(status), 0) << stderrText.str();
        EXPECT_TRUE(fs::exists(out));
        fs::remove(out);
        return;
    }
    if (c.reference.empty())
    {
        EXPECT_NE(WEXITSTATUS(status), 0);
        EXPECT_FALSE(fs::exists(out));
        EXPECT_NE(stderrText.str().find("error " + std::to_string(c.code) + ":"), std::string::npos)
            << stderrText.str();
        if (!c.text.empty())
        {
            EXPECT_NE(stderrText.str().find(c.text), std::string::npos) << stderrText.str();
        }
        return;
    }
    ASSERT_EQ(WEXITSTATUS(status), 0) << stderrText.str();
    ASSERT_TRUE(fs::exists(out));
    CDIBSection saved;
    CAnyPicDecoder decoder;
    ASSERT_NO_THROW(decoder.DecodeFile(out.string(), saved, 0));
    // A BMP carries no alpha: the colours must match where the reference
    // shows them.
    const test::RgbaImage expected = test::LoadPng(test::TestData(c.reference));
    test::RgbaImage got = test::ToRgba(saved);
    if (c.compareAlpha && got.rgba.size() == expected.rgba.size())
        for (size_t i = 3; i < got.rgba.size(); i += 4)
            got.rgba[i] = expected.rgba[i];
    EXPECT_TRUE(test::ImagesMatch(expected, got, c.tolerance, c.compareAlpha));
    fs::remove(out);
}

std::vector<std::string> FilesWithoutCase(const std::string& folder, const std::string& ext,
                                          const std::vector<SuiteCase>& cases,
                                          const std::vector<std::string>& testedElsewhere)
{
    std::vector<std::string> missing;
    for (const std::string& file : test::SuiteFiles(folder, ext))
    {
        const std::string rel = folder + "/" + file;
        if (std::none_of(cases.begin(), cases.end(),
                         [&](const SuiteCase& c) { return c.file == rel; }) &&
            std::find(testedElsewhere.begin(), testedElsewhere.end(), rel) == testedElsewhere.end())
            missing.push_back(rel);
    }
    return missing;
}
} // namespace bmptga
