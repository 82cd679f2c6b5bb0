#include "wavetable/WaveFormula.h"
#include "wavetable/RampedOperation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Values = std::vector<std::int16_t>;
constexpr std::size_t n = 256;

// Saws of 1 to 40 harmonics, each turned by its own fraction of a period.
Values sawBank() {
    Values bank(n * n);
    for (std::size_t s = 0; s < n; ++s) {
        const int top = 1 + static_cast<int>(s % 40);
        const double turn = std::fmod(static_cast<double>(s) * 0.618034, 1.0);
        for (std::size_t i = 0; i < n; ++i) {
            double v = 0.0;
            for (int k = 1; k <= top; ++k) {
                v += std::sin(2 * std::numbers::pi * k * (double(i) / n - turn)) / k;
            }
            bank[s * n + i] = static_cast<std::int16_t>(std::lround(12000 * v));
        }
    }
    return bank;
}

void write(const fs::path& path, const Values& values) {
    std::ofstream out(path);
    for (const std::int16_t v : values) {
        out << v << '\n';
    }
}

// The reference's cases by name.
std::map<std::string, std::vector<long>> reference(const Values& before, const Values& aligned) {
    const fs::path dir = fs::temp_directory_path() / ("formula-test-" + std::to_string(getpid()));
    fs::create_directories(dir);
    write(dir / "before.txt", before);
    write(dir / "aligned.txt", aligned);
    const std::string command =
        "/usr/bin/python3 " VANETO_SOURCE_DIR "/tests/wavetable/formula_reference.py " +
        (dir / "before.txt").string() + " " + (dir / "aligned.txt").string();
    std::map<std::string, std::vector<long>> cases;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[65536];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        text += buffer;
    }
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    fs::remove_all(dir);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        long v = 0;
        while (words >> v) {
            cases[name].push_back(v);
        }
    }
    return cases;
}

void expectNear(const std::vector<long>& expected, const Values& got, const std::string& what) {
    ASSERT_EQ(expected.size(), got.size()) << what << ": python3-numpy is needed";
    int off = 0;
    for (std::size_t i = 0; i < got.size() && off < 5; ++i) {
        if (std::abs(expected[i] - got[i]) > 1) {
            ADD_FAILURE() << what << ": slot " << i / n + 1 << " value " << i % n + 1 << ": "
                          << got[i] << " against " << expected[i];
            ++off;
        }
    }
}

} // namespace

TEST(WaveFormulaTest, FormulasAndRampedOperationsMatchNumPy) {
    const Values bank = sawBank();
    std::size_t clamped = 0;
    double gain = 1.0;
    WaveFormula formula;
    Values formulaValues;
    ASSERT_TRUE(
        formula.compile("sin(2*pi*x + 3*t) * 0.7 + 0.2*y + w/1000", WaveFormula::Mode::values));
    ASSERT_TRUE(formula.render(bank, 4, 39, {}, formulaValues, clamped, gain));
    Values harmonicValues;
    ASSERT_TRUE(formula.compile("(h <= 1 + 40*t ? 1 : 0) / h", WaveFormula::Mode::harmonics));
    ASSERT_TRUE(formula.render(bank, 0, 255, {WaveFormula::Level::Kind::fit}, harmonicValues,
                               clamped, gain));
    EXPECT_EQ(clamped, 0u);
    EXPECT_LT(gain, 1.0);

    std::map<std::string, Values> ramped;
    for (const char* op : {"gain=-12:6", "lowpass=64:2", "warp=0.5:2", "fold=1:5"}) {
        std::string error;
        const auto operation = RampedOperation::parse(op, error);
        ASSERT_TRUE(operation) << error;
        Values span(bank.begin() + 9 * n, bank.begin() + 73 * n);
        RampedOperation::apply(*operation, span);
        ramped[std::string(op).substr(0, std::string(op).find('='))] = span;
    }
    Values aligned = bank;
    RampedOperation::apply({RampedOperation::Kind::align}, aligned);
    EXPECT_EQ(Values(aligned.begin(), aligned.begin() + n), Values(bank.begin(), bank.begin() + n))
        << "the first slot stays";

    const auto expected = reference(bank, aligned);
    expectNear(expected.count("formula") ? expected.at("formula") : std::vector<long>{},
               formulaValues, "formula");
    expectNear(expected.count("harmonics") ? expected.at("harmonics") : std::vector<long>{},
               harmonicValues, "harmonics");
    for (const auto& [name, values] : ramped) {
        expectNear(expected.count(name) ? expected.at(name) : std::vector<long>{}, values, name);
    }
    // Magnitudes within rounding (in thousandths of a unit), and every neighbour's best lag 0.
    ASSERT_EQ(expected.count("align"), 1u);
    EXPECT_LT(expected.at("align")[0], 1500);
    EXPECT_EQ(expected.at("align")[1], 0);
}

TEST(WaveFormulaTest, ErrorsSayWhereAndWhat) {
    WaveFormula formula;
    EXPECT_FALSE(formula.compile("sin(2*pi*x) +* 2", WaveFormula::Mode::values));
    EXPECT_EQ(formula.problem().kind, WaveFormula::Problem::Kind::syntax);
    EXPECT_EQ(formula.problem().column, 14);
    EXPECT_NE(formula.problem().message.find("\"*\""), std::string::npos);

    EXPECT_FALSE(formula.compile("x * 2", WaveFormula::Mode::harmonics));
    EXPECT_EQ(formula.problem().kind, WaveFormula::Problem::Kind::unknownName);
    EXPECT_NE(formula.problem().message.find("\"x\""), std::string::npos);
    // Assignments would write the parser's own inputs.
    EXPECT_FALSE(formula.compile("y = 1", WaveFormula::Mode::values));
    EXPECT_EQ(formula.problem().column, 3);

    const Values bank(n * n, 0);
    Values out;
    std::size_t clamped = 0;
    double gain = 1.0;
    ASSERT_TRUE(formula.compile("1 / (w - 7) + 0 * x", WaveFormula::Mode::values));
    EXPECT_FALSE(formula.render(bank, 3, 9, {}, out, clamped, gain));
    EXPECT_EQ(formula.problem().message, "slot 7, value 1 is not a finite number (inf)");
    ASSERT_TRUE(formula.compile("0", WaveFormula::Mode::values));
    EXPECT_FALSE(
        formula.render(bank, 0, 0, {WaveFormula::Level::Kind::normalize}, out, clamped, gain));
    // noise() is the same every time.
    ASSERT_TRUE(formula.compile("noise(x * 256)", WaveFormula::Mode::values));
    Values first;
    Values second;
    ASSERT_TRUE(formula.render(bank, 0, 0, {}, first, clamped, gain));
    ASSERT_TRUE(formula.render(bank, 0, 0, {}, second, clamped, gain));
    EXPECT_EQ(first, second);
    EXPECT_NE(first[0], first[1]);
}
