#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <gtest/gtest.h>

using namespace quillmark;

namespace {

/// Options as a command line would set them.
CliOptions parsed(std::vector<std::string> arguments) {
    CLI::App app;
    CliOptions options;
    options.addTo(app);
    // CLI11 takes the arguments last first.
    std::reverse(arguments.begin(), arguments.end());
    app.parse(arguments);
    return options;
}

TEST(CliOptionsTest, DefaultsMatchTheWindowsDefaults) {
    const CliOptions options = parsed({"/data/texts/"});
    EXPECT_EQ(options.shingleLength(), 10);
    EXPECT_EQ(options.allowedPercent(), 20);
    EXPECT_EQ(options.truncation(), Truncation::On);
    EXPECT_EQ(options.htmlHandling(), HtmlHandling::Keep);
    EXPECT_EQ(options.unmask(), Unmask::Off);
    EXPECT_EQ(options.saveMode(), SaveMode::None);
    EXPECT_EQ(options.reportFormat(), ReportFormat::Csv);
    EXPECT_EQ(options.strictness(), Strictness::Lenient);
    EXPECT_EQ(options.verbosity(), Verbosity::Normal);
    EXPECT_TRUE(options.reportPath().isEmpty());
    EXPECT_EQ(options.pairCount(), 0);
    EXPECT_TRUE(options.templatePath().isEmpty());
    EXPECT_EQ(options.commonPercent(), 0);
}

TEST(CliOptionsTest, EveryOptionReachesItsSetting) {
    const CliOptions options = parsed(
        {"-l", "3", "-p", "0", "--no-lemmatize", "--cut-html", "--unmask", "--save", "move", "-r",
         "/nonexistent/report.json", "--format", "json", "--strict", "-q", "--pairs", "5", "in"});
    EXPECT_EQ(options.shingleLength(), 3);
    EXPECT_EQ(options.allowedPercent(), 0);
    EXPECT_EQ(options.truncation(), Truncation::Off);
    EXPECT_EQ(options.htmlHandling(), HtmlHandling::Cut);
    EXPECT_EQ(options.unmask(), Unmask::On);
    EXPECT_EQ(options.saveMode(), SaveMode::Move);
    EXPECT_EQ(options.reportPath(), "/nonexistent/report.json");
    EXPECT_EQ(options.reportFormat(), ReportFormat::Json);
    EXPECT_EQ(options.strictness(), Strictness::Strict);
    EXPECT_EQ(options.verbosity(), Verbosity::Quiet);
    EXPECT_EQ(options.pairCount(), 5);
    EXPECT_EQ(parsed({"--template", "/шаблон/сайт.txt", "in"}).templatePath(), "/шаблон/сайт.txt");
    EXPECT_EQ(parsed({"--ignore-common", "050", "in"}).commonPercent(), 50);
    EXPECT_EQ(parsed({"--format", "html", "in"}).reportFormat(), ReportFormat::Html);
    EXPECT_EQ(parsed({"--format", "csv", "in"}).reportFormat(), ReportFormat::Csv);
    EXPECT_EQ(parsed({"--save", "copy", "in"}).saveMode(), SaveMode::Copy);
    EXPECT_TRUE(parsed({"-r", "-", "in"}).reportPath().isEmpty()) << "\"-\" is standard output";
    EXPECT_EQ(parsed({"-r", "/dev/null", "in"}).reportPath(), "/dev/null")
        << "a device replaces no file";
}

TEST(CliOptionsTest, DirectoriesEndWithOneSlash) {
    EXPECT_EQ(parsed({"/data/texts"}).sourceDirectory(), "/data/texts/");
    EXPECT_EQ(parsed({"/data/texts/"}).sourceDirectory(), "/data/texts/");
    EXPECT_EQ(parsed({"/data/texts"}).outputDirectory(), "/data/texts/Result/");
    EXPECT_EQ(parsed({"/data/texts//"}).outputDirectory(), "/data/texts/Result/");
    EXPECT_EQ(parsed({"texts"}).outputDirectory(), "texts/Result/");
    EXPECT_EQ(parsed({"/"}).outputDirectory(), "/Result/");
    EXPECT_EQ(parsed({"-o", "/out", "/in"}).outputDirectory(), "/out/");
    EXPECT_EQ(parsed({"--out", "/out/", "/in"}).outputDirectory(), "/out/");
    // An empty path stays empty: it must fail, not become the root.
    EXPECT_EQ(parsed({""}).sourceDirectory(), "");
    EXPECT_EQ(parsed({""}).outputDirectory(), "");
}

TEST(CliOptionsTest, ValuesOutsideTheirSetsAreRejected) {
    const std::vector<std::vector<std::string>> cases{
        {"-l", "0"},          {"-l", "101"},        {"-p", "-1"},        {"-p", "101"},
        {"-l", "1.5"},        {"--save", "2"},      {"--save", "Copy"},  {"--format", "JSON"},
        {"--format", "1"},    {"-r", "/"},          {"-p", "0x14"},      {"-l", "0b11"},
        {"-p", "1e1"},        {"-p", ""},           {"-l", "+"},         {"--pairs", "-1"},
        {"--pairs", "1001"},  {"--pairs", "0x3"},   {"--pairs", "2.0"},  {"--pairs", ""},
        {"--pairs", "three"}, {"--format", "HTML"}, {"--format", "htm"}, {"-j", "0"},
        {"--jobs", "1025"},   {"-j", "two"},        {"--ignore-common", "101"},
        {"--ignore-common", "-5"}, {"--ignore-common", "half"}};
    for (std::vector<std::string> arguments : cases) {
        SCOPED_TRACE(arguments[0] + " " + arguments[1]);
        arguments.push_back("in");
        EXPECT_THROW(parsed(arguments), CLI::ParseError);
    }
    EXPECT_THROW(parsed({}), CLI::RequiredError);
}

TEST(CliOptionsTest, NumbersAreDecimalEvenWithLeadingZeros) {
    // Not octal: a script's zero-padded "010" means ten.
    EXPECT_EQ(parsed({"-p", "010", "in"}).allowedPercent(), 10);
    EXPECT_EQ(parsed({"-p", "08", "in"}).allowedPercent(), 8);
    EXPECT_EQ(parsed({"-p", "000", "in"}).allowedPercent(), 0);
    EXPECT_EQ(parsed({"-l", "+007", "in"}).shingleLength(), 7);
    EXPECT_THROW(parsed({"-l", "0000", "in"}), CLI::ValidationError) << "still 0, out of range";
    EXPECT_THROW(parsed({"-p", "0101", "in"}), CLI::ValidationError) << "101, out of range";
}

TEST(CliOptionsTest, PairsRangeFromNoneToTheMost) {
    EXPECT_EQ(parsed({"--pairs", "0", "in"}).pairCount(), 0);
    EXPECT_EQ(parsed({"--pairs", "007", "in"}).pairCount(), 7);
    EXPECT_EQ(parsed({"--pairs", "1000", "in"}).pairCount(), CliOptions::MaxPairCount);
    EXPECT_EQ(parsed({"--pairs=3", "in"}).pairCount(), 3);
    EXPECT_EQ(parsed({"in"}).jobCount(), 0);
    EXPECT_EQ(parsed({"-j", "3", "in"}).jobCount(), 3);
    EXPECT_THROW(parsed({"--pairs", "01001", "in"}), CLI::ValidationError);
    EXPECT_THROW(parsed({"--pairs", "in"}), CLI::ParseError) << "a directory is no count";
}

} // namespace
