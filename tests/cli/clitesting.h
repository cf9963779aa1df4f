#pragma once
// Helpers of the plexan-cli tests: running the tool as a separate process,
// a scratch directory, reading its tables back, and the analytic description
// the sample specimen was drawn from.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;

struct Result {
    int status = -1;  // exit status, 128 + n when killed by signal n
    std::string out;
    std::string err;
};

inline std::string readFile(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

// A directory of its own for each test, removed afterwards.
class Scratch {
public:
    Scratch()
        : m_path(fs::temp_directory_path() /
                 ("plexan-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(s_count++)))
    {
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~Scratch() { fs::remove_all(m_path); }
    std::string path() const { return m_path.string(); }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
    static inline int s_count = 0;
};

// Runs a program with arguments, standard output and error captured, in
// directory cwd when given, with extra environment entries NAME=VALUE.
inline Result runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd = "",
                         const std::vector<std::string>& env = {})
{
    Scratch capture;
    const std::string outFile = capture / "out", errFile = capture / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
            ::_exit(127);
        for (const std::string& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        if (!std::freopen(outFile.c_str(), "w", stdout) || !std::freopen(errFile.c_str(), "w", stderr))
            ::_exit(127);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Result r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    return r;
}

inline Result run(const std::vector<std::string>& args, const std::string& cwd = "",
                  const std::vector<std::string>& env = {})
{
    return runProgram(PLEXAN_CLI, args, cwd, env);
}

inline std::string sampleDirectory()
{
    return PLEXAN_SAMPLE_DIR;
}

inline std::string sampleStack()
{
    return sampleDirectory() + "/sample.sdf";
}

using Row = std::vector<std::string>;
using Table = std::vector<Row>;

// The tables of a text, separated by empty lines; each row split at sep.
inline std::vector<Table> tables(const std::string& text, char sep = '\t')
{
    std::vector<Table> out(1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            out.emplace_back();
            continue;
        }
        Row row;
        std::size_t start = 0;
        while (true) {
            const std::size_t end = line.find(sep, start);
            row.push_back(line.substr(start, end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        out.back().push_back(row);
    }
    return out;
}

// The value of column header in row i (1 the first data row) of a table.
inline double number(const Table& table, std::size_t i, const std::string& header)
{
    for (std::size_t j = 0; j < table.front().size(); ++j)
        if (table.front()[j].rfind(header, 0) == 0)
            return std::stod(table.at(i).at(j));
    ADD_FAILURE() << "no column " << header;
    return 0.0;
}

inline int lineCount(const std::string& text)
{
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

// A failure reported as the tool promises: one line on the error stream
// naming the command, nothing on the output, the given exit status.
inline void expectOneLineFailure(const Result& r, int status, const std::string& command)
{
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_EQ(lineCount(r.err), 1) << r.err;
    EXPECT_EQ(r.err.rfind("plexan-cli" + (command.empty() ? "" : " " + command) + ": ", 0), 0u) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

// The description the sample specimen was drawn from (data/sample/specimen.txt).
struct Specimen {
    struct Section {
        std::string name;
        double position, shiftX, shiftY, angle;
    };
    double pixel = 0, spacing = 0, orientation = 0, organCentreZ = 0;
    int width = 0, height = 0;
    std::array<double, 3> organAxes{}, lumenCentre{}, lumenAxes{};
    std::vector<Section> sections;
    std::vector<std::array<double, 3>> nuclei;  // p, q, stack position

    static Specimen read(const std::string& file)
    {
        Specimen s;
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            words.imbue(std::locale::classic());
            std::string key;
            words >> key;
            if (key == "image_size")
                words >> s.width >> s.height;
            else if (key == "pixel_size")
                words >> s.pixel;
            else if (key == "slice_spacing")
                words >> s.spacing;
            else if (key == "organ_centre_z")
                words >> s.organCentreZ;
            else if (key == "organ_orientation")
                words >> s.orientation;
            else if (key == "organ_semi_axes")
                words >> s.organAxes[0] >> s.organAxes[1] >> s.organAxes[2];
            else if (key == "lumen_centre")
                words >> s.lumenCentre[0] >> s.lumenCentre[1] >> s.lumenCentre[2];
            else if (key == "lumen_semi_axes")
                words >> s.lumenAxes[0] >> s.lumenAxes[1] >> s.lumenAxes[2];
            else if (key == "slice") {
                Section c;
                words >> c.name >> c.position >> c.shiftX >> c.shiftY >> c.angle;
                s.sections.push_back(c);
            } else if (key == "nucleus") {
                std::array<double, 3> n{};
                words >> n[0] >> n[1] >> n[2];
                s.nuclei.push_back(n);
            }
        }
        return s;
    }

    // The pixel (x right, y down) where section k shows principal-frame
    // point (p, q).
    std::array<double, 2> pixelOf(std::size_t k, double p, double q) const
    {
        const double pi = 3.141592653589793;
        const double o = orientation * pi / 180, a = sections[k].angle * pi / 180;
        const double x = std::cos(o) * p - std::sin(o) * q, y = std::sin(o) * p + std::cos(o) * q;
        const double u = std::cos(a) * x - std::sin(a) * y + sections[k].shiftX * pixel;
        const double v = std::sin(a) * x + std::cos(a) * y - sections[k].shiftY * pixel;
        return {u / pixel + width / 2.0, -v / pixel + height / 2.0};
    }

    // The area of the section of an ellipsoid at stack position z.
    static double sectionArea(const std::array<double, 3>& axes, double dz)
    {
        const double t = dz / axes[2];
        return std::fabs(t) >= 1 ? 0.0 : 3.141592653589793 * axes[0] * axes[1] * (1 - t * t);
    }
};

inline const Specimen& sample()
{
    static const Specimen s = Specimen::read(sampleDirectory() + "/specimen.txt");
    return s;
}

} // namespace clitest
