#pragma once
// Conformance tables of the BMP and Targa suites: each file of a suite folder
// is a named case that decodes to a reference PNG or fails with a code.
#include "TestSupport.h"

#include <string>
#include <vector>

namespace bmptga
{
/// One suite file. With a reference the file must decode to its pixels at
/// automatic depth and at 32 bits; without one it must fail with `code` and
/// `text` (the full message; empty checks the code only), or, with code 0,
/// decode at both depths.
struct SuiteCase
{
    std::string file;        // below the test-data folder
    std::string reference;   // PNG below the test-data folder, or empty
    std::string reference32; // for the 32-bit decode when it differs
    int code = 0;
    std::string text;
    int tolerance = 0;
    bool compareAlpha = true;
};

/// Names the case by its file in test output.
inline void PrintTo(const SuiteCase& c, std::ostream* os)
{
    *os << c.file;
}

SuiteCase Good(std::string file, std::string reference, int tolerance = 0,
               bool compareAlpha = true);
SuiteCase Bad(std::string file, int code, std::string text = {});
/// A file without a reference that must decode.
SuiteCase Decodes(std::string file);
/// A file whose 32-bit decode has a reference of its own.
SuiteCase GoodAtDepths(std::string file, std::string reference, std::string reference32);

/// "Decoder error: <text>\n", the form every raised error takes.
std::string DecoderError(const std::string& text);

/// Test-name suffix from the file's base name.
std::string CaseName(const ::testing::TestParamInfo<SuiteCase>& info);

/// Decodes the case's file and checks pixels or error.
void CheckSuiteCase(const SuiteCase& c);

/// Runs vistrel-decode on the case's file. A good file must exit 0 and leave
/// a BMP with the reference's colours; a bad one must exit non-zero, print
/// its code and text on stderr and leave no output file.
void CheckSuiteCaseThroughCommandLine(const SuiteCase& c);

/// Every file below `folder` (relative to the test data) whose name ends in
/// `ext` and that neither a case nor `testedElsewhere` names.
std::vector<std::string> FilesWithoutCase(const std::string& folder, const std::string& ext,
                                          const std::vector<SuiteCase>& cases,
                                          const std::vector<std::string>& testedElsewhere = {});

/// Decodes a file from the test data through CAnyPicDecoder::DecodeFile.
void DecodeTestFile(const std::string& file, CBmp& bmp, int depth = 0);
} // namespace bmptga
